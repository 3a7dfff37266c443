#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick
{

// Registry value type codes, as the Windows registry numbers them; the `.reg`
// files use the same numbers in their hex(N) forms.
enum class RegType : std::uint32_t {
    None = 0,
    Sz = 1,
    ExpandSz = 2,
    Binary = 3,
    Dword = 4,
    MultiSz = 7,
};

// One registry value. Texts are UTF-8. Multi-strings are kept as their raw
// data (each string NUL-terminated, closed by an empty string) so that a value
// read from a file is written back byte for byte, even when it is oddly
// terminated or holds an empty string in the middle.
struct RegValue {
    std::uint32_t type = static_cast<std::uint32_t>(RegType::Sz);
    std::string text; // Sz, ExpandSz (unexpanded)
    std::uint32_t number = 0; // Dword
    std::string data; // MultiSz and every other type: the raw bytes

    static RegValue string(std::string_view text);
    static RegValue expandString(std::string_view text);
    static RegValue dword(std::uint32_t number);
    // Joins the strings in order, each NUL-terminated, then the closing NUL.
    static RegValue multiString(const std::vector<std::string>& strings);
    static RegValue raw(std::uint32_t type, std::string_view data);

    RegType kind() const { return static_cast<RegType>(type); }
    bool isText() const { return kind() == RegType::Sz || kind() == RegType::ExpandSz; }

    // The bytes RegQueryValueEx would hand out: texts NUL-terminated, numbers
    // little-endian, everything else as stored.
    std::string queryData() const;

    bool operator==(const RegValue&) const = default;
};

// Splits multi-string data into its strings: every NUL-terminated string in
// order, without the closing empty one. A last string lacking its NUL counts.
std::vector<std::string> splitMultiString(std::string_view data);

} // namespace tarnwick
