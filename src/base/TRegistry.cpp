#include "base/TRegistry.h"

#include "base/ServiceError.h"
#include "base/Utf8.h"

namespace tarnwick
{
namespace
{

// A name a value can be stored under and read back by: UTF-8 without line
// breaks or NUL (a store file line could not hold them).
bool storableName(std::string_view name)
{
    return isValidUtf8(name) && name.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

std::string joinPath(std::string_view base, std::string_view rel)
{
    if (base.empty())
        return std::string(rel);
    if (rel.empty())
        return std::string(base);
    return std::string(base) + '\\' + std::string(rel);
}

} // namespace

TRegistry::TRegistry(RegistryStore& store)
    : m_store(store)
{
}

void TRegistry::SetRootKey(RegRoot root)
{
    m_root = root;
    m_current.reset();
}

std::optional<std::string> TRegistry::resolve(std::string_view path) const
{
    const bool absolute = !path.empty() && path.front() == '\\';
    const auto normalized = RegHive::normalizePath(path);
    if (!normalized || !isValidUtf8(*normalized))
        return std::nullopt;
    if (absolute || !m_current)
        return normalized;
    return joinPath(*m_current, *normalized);
}

bool TRegistry::OpenKey(std::string_view path, bool create)
{
    const auto full = resolve(path);
    if (!full)
        return false;
    if (full->empty()) { // the root itself
        m_current = std::string();
        return true;
    }
    const RegHive hive = m_store.load(m_root);
    if (const RegKey* key = hive.find(*full)) {
        m_current = key->path;
        return true;
    }
    if (!create)
        return false;
    std::string spelled;
    m_store.modify(m_root, *full, [&](RegHive& h) {
        const bool existed = h.find(*full) != nullptr;
        spelled = h.create(*full).path;
        return !existed;
    });
    m_current = spelled;
    return true;
}

bool TRegistry::OpenKeyReadOnly(std::string_view path)
{
    return OpenKey(path, false);
}

bool TRegistry::KeyExists(std::string_view name) const
{
    const auto full = resolve(name);
    if (!full)
        return false;
    return full->empty() || m_store.load(m_root).find(*full) != nullptr;
}

bool TRegistry::ValueExists(std::string_view name) const
{
    if (!m_current)
        return false;
    const RegHive hive = m_store.load(m_root);
    const RegKey* key = hive.find(*m_current);
    return key && key->find(name);
}

std::string TRegistry::ReadString(std::string_view name) const
{
    if (!m_current)
        return {};
    const RegHive hive = m_store.load(m_root);
    const RegKey* key = hive.find(*m_current);
    const RegValue* value = key ? key->find(name) : nullptr;
    if (!value || !value->isText())
        return {};
    return value->text;
}

std::int32_t TRegistry::ReadInteger(std::string_view name) const
{
    const RegValue* value = nullptr;
    RegHive hive;
    if (m_current) {
        hive = m_store.load(m_root);
        if (const RegKey* key = hive.find(*m_current))
            value = key->find(name);
    }
    if (!value)
        throw ServiceError(ServiceError::Kind::GetData, name);
    if (value->kind() != RegType::Dword || !value->data.empty())
        throw ServiceError(ServiceError::Kind::DataType, name);
    return static_cast<std::int32_t>(value->number);
}

void TRegistry::WriteString(std::string_view name, std::string_view text)
{
    if (!isValidUtf8(text))
        throw ServiceError(ServiceError::Kind::SetData, name, "the text is not UTF-8");
    const RegValue value = RegValue::string(text);
    if (!m_current || !storableName(name))
        throw ServiceError(
            ServiceError::Kind::SetData, name, m_current ? "unusable value name" : "no key is open");
    const std::string path = *m_current;
    m_store.modify(m_root, name, [&](RegHive& hive) {
        // The key may have been removed by another process since it was
        // opened; writing recreates it, as a handle kept open would not, but
        // losing the value would be worse.
        hive.create(path).set(name, value);
        return true;
    });
}

void TRegistry::WriteInteger(std::string_view name, std::int32_t number)
{
    if (!m_current || !storableName(name))
        throw ServiceError(
            ServiceError::Kind::SetData, name, m_current ? "unusable value name" : "no key is open");
    const RegValue value = RegValue::dword(static_cast<std::uint32_t>(number));
    const std::string path = *m_current;
    m_store.modify(m_root, name, [&](RegHive& hive) {
        hive.create(path).set(name, value);
        return true;
    });
}

void TRegistry::CloseKey()
{
    m_current.reset();
}

std::vector<std::string> TRegistry::GetKeyNames() const
{
    return m_store.load(m_root).subkeyNames(m_current ? *m_current : std::string());
}

std::vector<std::string> TRegistry::GetValueNames() const
{
    std::vector<std::string> names;
    if (!m_current)
        return names;
    const RegHive hive = m_store.load(m_root);
    if (const RegKey* key = hive.find(*m_current)) {
        for (const auto& [name, value] : key->values)
            names.push_back(name);
    }
    return names;
}

std::optional<std::string> queryRegistryValue(
    const RegistryStore& store, RegRoot root, std::string_view keyPath, std::string_view valueName)
{
    const auto path = RegHive::normalizePath(keyPath);
    if (!path)
        return std::nullopt;
    try {
        const RegHive hive = store.load(root);
        const RegKey* key = hive.find(*path);
        const RegValue* value = key ? key->find(valueName) : nullptr;
        if (!value)
            return std::nullopt;
        return value->queryData();
    } catch (const std::exception&) {
        // The raw read only tells success from failure.
        return std::nullopt;
    }
}

std::optional<std::vector<std::string>> readMultiString(
    const RegistryStore& store, RegRoot root, std::string_view keyPath, std::string_view valueName)
{
    const auto data = queryRegistryValue(store, root, keyPath, valueName);
    if (!data)
        return std::nullopt;
    return splitMultiString(*data);
}

} // namespace tarnwick
