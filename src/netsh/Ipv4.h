#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick::netsh
{

// An IPv4 address in host byte order.
struct Ipv4 {
    std::uint32_t value = 0;
    bool operator==(const Ipv4&) const = default;
};

// Dotted quad with four decimal parts of 0 to 255 ("10.0.0.1"); nothing else
// (no shorthand forms, no blanks, no signs).
std::optional<Ipv4> parseIpv4(std::string_view text);
std::string formatIpv4(Ipv4 address);

// Prefix length of a contiguous mask, nullopt for a mask whose one bits are not contiguous.
std::optional<int> maskPrefix(Ipv4 mask);
Ipv4 prefixMask(int prefix);

} // namespace tarnwick::netsh
