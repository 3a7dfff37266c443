#pragma once

#include "base/RegistryStore.h"
#include "base/StorePaths.h"

#include <filesystem>

namespace tarnwick
{

// The registry of this machine as a folder of REGEDIT4 files, one per root key
// (HKEY_LOCAL_MACHINE.reg, HKEY_CURRENT_USER.reg, HKEY_CLASSES_ROOT.reg).
//
// Readers read the file whole (writes replace it by rename, so a reader sees
// the old or the new file, never half of one). A write takes an exclusive
// flock on "<file>.lock", reads the file again, changes it and replaces it
// through a temporary file, so two processes writing at once keep both their
// values. A file that does not parse is reported (StoreFileError naming it)
// and never overwritten. Files are created with mode 0600, the folder 0700.
class RegFileStore : public RegistryStore
{
public:
    // The folder need not exist yet; it is created on the first write.
    // With read-only set, writes are refused (ServiceError SetData) and
    // nothing is ever created in the folder.
    explicit RegFileStore(std::filesystem::path folder, bool readOnly = false);

    const std::filesystem::path& folder() const { return m_folder; }
    std::filesystem::path fileOf(RegRoot root) const;

    RegHive load(RegRoot root) const override;
    void modify(RegRoot root, std::string_view subject, const std::function<bool(RegHive&)>& change) override;

private:
    std::filesystem::path m_folder;
    bool m_readOnly;
};

} // namespace tarnwick
