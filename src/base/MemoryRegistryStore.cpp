#include "base/MemoryRegistryStore.h"

#include "base/AtomicFile.h"
#include "base/ServiceError.h"

#include <algorithm>

namespace tarnwick
{
namespace
{

void merge(RegFileContent& into, const RegFileContent& from)
{
    for (const auto& [root, hive] : from) {
        RegHive& target = into[root];
        for (const RegKey& key : hive.keys()) {
            RegKey& k = target.create(key.path);
            for (const auto& [name, value] : key.values)
                k.set(name, value);
        }
    }
}

} // namespace

MemoryRegistryStore::MemoryRegistryStore(RegFileContent content)
    : m_content(std::move(content))
{
}

RegFileContent readRegFiles(const std::filesystem::path& fileOrFolder)
{
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_directory(fileOrFolder)) {
        for (const auto& entry : std::filesystem::directory_iterator(fileOrFolder)) {
            if (entry.path().extension() == ".reg")
                files.push_back(entry.path());
        }
        std::sort(files.begin(), files.end());
    } else {
        files.push_back(fileOrFolder);
    }
    RegFileContent content;
    for (const auto& file : files)
        merge(content, parseRegFile(readWholeFile(file), file.string()));
    return content;
}

MemoryRegistryStore MemoryRegistryStore::fromRegFile(const std::filesystem::path& fileOrFolder)
{
    return MemoryRegistryStore(readRegFiles(fileOrFolder));
}

void MemoryRegistryStore::setReadOnly(bool readOnly)
{
    std::lock_guard lock(m_mutex);
    m_readOnly = readOnly;
}

RegHive MemoryRegistryStore::load(RegRoot root) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_content.find(root);
    return it == m_content.end() ? RegHive {} : it->second;
}

void MemoryRegistryStore::modify(
    RegRoot root, std::string_view subject, const std::function<bool(RegHive&)>& change)
{
    std::lock_guard lock(m_mutex);
    if (m_readOnly)
        throw ServiceError(ServiceError::Kind::SetData, subject, "the registry is read-only");
    RegHive copy = m_content[root];
    if (change(copy))
        m_content[root] = std::move(copy);
}

} // namespace tarnwick
