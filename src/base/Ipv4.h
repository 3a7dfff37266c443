#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick
{

// An IPv4 address in host byte order: the one address type of the tree.
struct Ipv4 {
    std::uint32_t value = 0;

    static constexpr Ipv4 of(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d)
    {
        return Ipv4 { (std::uint32_t { a } << 24) | (std::uint32_t { b } << 16) | (std::uint32_t { c } << 8)
            | d };
    }
    // Four bytes in network order, as packets and socket addresses carry them.
    static Ipv4 fromBytes(const std::uint8_t* bytes);
    std::array<std::uint8_t, 4> bytes() const;

    bool operator==(const Ipv4&) const = default;
};

// Dotted quad with four decimal parts of 0 to 255 ("10.0.0.1"); nothing else
// (no shorthand forms, no blanks, no signs). Leading zeros are read as
// decimal; callers that must not guess ask hasLeadingZero.
std::optional<Ipv4> parseIpv4(std::string_view text);
std::string formatIpv4(Ipv4 address);
// True when a part of the dotted text starts with a 0 followed by a digit.
bool hasLeadingZero(std::string_view dotted);

// Prefix length of a contiguous mask, nullopt for a mask whose one bits are not contiguous.
std::optional<int> maskPrefix(Ipv4 mask);
Ipv4 prefixMask(int prefix);

// What an address is for: each role refuses the addresses no such value may be.
enum class AddressRole { Host, Gateway, Dns };

// Why `ip` cannot serve in `role` (one Chinese phrase), or empty when it can:
// 0.0.0.0, the limited broadcast, multicast and class E for every role, and
// loopback for all but a DNS server (a local resolver is one). The window's
// check before a switch and netsh share it, so no step refuses what the check
// let through.
std::string unusableAddress(Ipv4 ip, AddressRole role);

} // namespace tarnwick
