#pragma once

#include "base/RegFile.h"
#include "base/RegistryStore.h"

#include <filesystem>
#include <mutex>

namespace tarnwick
{

// A registry held in memory only. Tests and the Windows adapter back end load
// it from `.reg` fixtures; writes change the memory copy, never the fixture.
class MemoryRegistryStore : public RegistryStore
{
public:
    MemoryRegistryStore() = default;
    explicit MemoryRegistryStore(RegFileContent content);

    // A store over readRegFiles(fileOrFolder). (For a heap copy:
    // std::make_unique<MemoryRegistryStore>(readRegFiles(path)).)
    static MemoryRegistryStore fromRegFile(const std::filesystem::path& fileOrFolder);

    // With read-only set, every write is refused with ServiceError (SetData),
    // as a registry without write rights would.
    void setReadOnly(bool readOnly);

    RegHive load(RegRoot root) const override;
    void modify(RegRoot root, std::string_view subject, const std::function<bool(RegHive&)>& change) override;

private:
    mutable std::mutex m_mutex;
    RegFileContent m_content;
    bool m_readOnly = false;
};

} // namespace tarnwick
