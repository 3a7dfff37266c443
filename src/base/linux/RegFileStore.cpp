#include "base/linux/RegFileStore.h"

#include "base/AtomicFile.h"
#include "base/FileLock.h"
#include "base/RegFile.h"
#include "base/ServiceError.h"
#include "base/StoreFileError.h"
#include "base/StorePaths.h"

#include <cerrno>
#include <system_error>

namespace tarnwick
{
namespace
{

// The root's keys from its file; a missing file is an empty root.
RegHive readHive(const std::filesystem::path& file, RegRoot root)
{
    std::string bytes;
    try {
        bytes = readWholeFile(file);
    } catch (const std::system_error& e) {
        if (e.code() == std::errc::no_such_file_or_directory)
            return {};
        throw StoreFileError(file.string(), 0, e.what());
    }
    RegFileContent content = parseRegFile(bytes, file.string());
    for (const auto& [r, hive] : content) {
        if (r != root && !hive.empty())
            throw StoreFileError(file.string(), 0,
                "it holds keys of " + std::string(regRootName(r)) + ", not only of "
                    + std::string(regRootName(root)));
    }
    return std::move(content[root]);
}

} // namespace

RegFileStore::RegFileStore(std::filesystem::path folder, bool readOnly)
    : m_folder(std::move(folder))
    , m_readOnly(readOnly)
{
}

std::filesystem::path RegFileStore::fileOf(RegRoot root) const
{
    return m_folder / (std::string(regRootName(root)) + ".reg");
}

RegHive RegFileStore::load(RegRoot root) const
{
    return readHive(fileOf(root), root);
}

void RegFileStore::modify(RegRoot root, std::string_view subject, const std::function<bool(RegHive&)>& change)
{
    if (m_readOnly)
        throw ServiceError(ServiceError::Kind::SetData, subject, "the registry store is read-only");
    const std::filesystem::path file = fileOf(root);
    try {
        makePrivateFolder(m_folder);
        std::filesystem::path lockFile = file;
        lockFile += ".lock";
        FileLock lock(lockFile);
        removeLeftoverTemporaries(file);
        // Read again under the lock: another process may have written since.
        RegHive hive = readHive(file, root);
        const RegHive before = hive;
        // A write of what is already stored (the version value at every start)
        // costs nothing: no rewrite, no flush.
        if (!change(hive) || hive == before)
            return;
        writeFileAtomically(file, formatRegFile(root, hive), 0600);
    } catch (const std::system_error& e) {
        throw ServiceError(ServiceError::Kind::SetData, subject, e.what());
    }
}

} // namespace tarnwick
