#pragma once

#include "base/RegValue.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarnwick
{

// One registry key: its path below the root (as first written, without a
// leading backslash; empty for the root itself) and its values in the order
// they were first written. Value names are matched without regard to case;
// the empty name is the key's default value.
struct RegKey {
    std::string path;
    std::vector<std::pair<std::string, RegValue>> values;

    const RegValue* find(std::string_view name) const;
    void set(std::string_view name, const RegValue& value);
    bool remove(std::string_view name);

    bool operator==(const RegKey&) const = default;
};

// The keys of one root key (HKEY_LOCAL_MACHINE and so on), in file order. Key
// names are compared without regard to (ASCII) case and keep the case in which
// they were first written. Every parent of a key exists as a key of its own.
class RegHive
{
public:
    // Path with one leading backslash (and one trailing) dropped; nullopt when
    // it cannot name a key (an empty component, a control character, "]").
    static std::optional<std::string> normalizePath(std::string_view path);

    const RegKey* find(std::string_view path) const;
    RegKey* find(std::string_view path);
    // Finds or creates the key and its missing parents. The path must be
    // normalized (see normalizePath).
    RegKey& create(std::string_view path);
    // Names of the direct subkeys, in the order they were created.
    std::vector<std::string> subkeyNames(std::string_view path) const;

    const std::vector<RegKey>& keys() const { return m_keys; }
    bool empty() const { return m_keys.empty(); }
    bool operator==(const RegHive&) const = default;

private:
    std::vector<RegKey> m_keys;
};

// Lower-cases ASCII letters; registry and profile names compare through it.
std::string foldCase(std::string_view text);

} // namespace tarnwick
