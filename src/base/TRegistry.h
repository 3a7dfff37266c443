#pragma once

#include "base/RegRoot.h"
#include "base/RegistryStore.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick
{

// The registry wrapper every handler uses: set the root, open a key, read or
// write its values, close. Nothing is cached; every call goes to the store.
//
// Key paths: a leading backslash means "from the root"; without it a path is
// taken below the open key, or from the root when none is open (callers close
// the key before opening the next, so in practice every path is from the root).
// Names are compared without regard to case.
class TRegistry
{
public:
    // The root starts as HKEY_CURRENT_USER.
    explicit TRegistry(RegistryStore& store);

    void SetRootKey(RegRoot root);
    RegRoot RootKey() const { return m_root; }

    // True when the key is open; it becomes the current key. With `create`,
    // missing keys along the path are created (a refused write throws
    // ServiceError SetData naming the path); without it a missing key gives
    // false. On false the current key is left as it was.
    bool OpenKey(std::string_view path, bool create);
    // The same as OpenKey without create; for readers that never write.
    bool OpenKeyReadOnly(std::string_view path);
    // True when a subkey of that name exists below the current key (or the
    // root when none is open).
    bool KeyExists(std::string_view name) const;
    // True when the current key holds a value of that name; false with no key open.
    bool ValueExists(std::string_view name) const;
    // The text of a REG_SZ or REG_EXPAND_SZ value (left unexpanded). Empty when
    // the value is missing, is of another type, or no key is open.
    std::string ReadString(std::string_view name) const;
    // Stores the text as REG_SZ; the empty name is the key's default value.
    // Throws ServiceError SetData when no key is open or the store refuses.
    void WriteString(std::string_view name, std::string_view text);
    // The REG_DWORD value as a signed 32-bit number. Throws ServiceError
    // GetData when the value is missing (or no key is open), DataType when it
    // is of another type.
    std::int32_t ReadInteger(std::string_view name) const;
    // Stores the number as REG_DWORD. Throws like WriteString.
    void WriteInteger(std::string_view name, std::int32_t number);
    // Closes the current key; the next OpenKey starts at the root.
    void CloseKey();

    // Path of the current key below the root, when one is open.
    const std::optional<std::string>& CurrentPath() const { return m_current; }
    // Names of the subkeys of the current key (or the root), in creation order.
    std::vector<std::string> GetKeyNames() const;
    // Names of the values of the current key, in order; empty with no key open.
    std::vector<std::string> GetValueNames() const;

private:
    std::optional<std::string> resolve(std::string_view path) const;

    RegistryStore& m_store;
    RegRoot m_root = RegRoot::CurrentUser;
    std::optional<std::string> m_current;
};

// The raw read the status reader uses instead of the wrapper (open with read
// access, query the value into a byte buffer, close): the value's data as the
// system hands it out (see RegValue::queryData), or nullopt when the key or
// the value cannot be read. Never throws for a missing key or value.
std::optional<std::string> queryRegistryValue(
    const RegistryStore& store, RegRoot root, std::string_view keyPath, std::string_view valueName);

// The strings of a REG_MULTI_SZ value (see splitMultiString), or nullopt when
// the key or the value cannot be read. A value of another type gives the
// strings its raw data splits into, as the raw read would.
std::optional<std::vector<std::string>> readMultiString(
    const RegistryStore& store, RegRoot root, std::string_view keyPath, std::string_view valueName);

} // namespace tarnwick
