#include "netsh/Ipv4.h"

namespace tarnwick::netsh
{

std::optional<Ipv4> parseIpv4(std::string_view text)
{
    std::uint32_t value = 0;
    int parts = 0;
    std::size_t i = 0;
    while (parts < 4) {
        if (i >= text.size() || text[i] < '0' || text[i] > '9')
            return std::nullopt;
        unsigned part = 0;
        int digits = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            part = part * 10 + static_cast<unsigned>(text[i] - '0');
            if (++digits > 3)
                return std::nullopt;
            ++i;
        }
        if (part > 255)
            return std::nullopt;
        value = (value << 8) | part;
        ++parts;
        if (parts < 4) {
            if (i >= text.size() || text[i] != '.')
                return std::nullopt;
            ++i;
        }
    }
    if (i != text.size())
        return std::nullopt;
    return Ipv4 { value };
}

std::string formatIpv4(Ipv4 address)
{
    const std::uint32_t v = address.value;
    return std::to_string(v >> 24) + '.' + std::to_string((v >> 16) & 0xff) + '.'
        + std::to_string((v >> 8) & 0xff) + '.' + std::to_string(v & 0xff);
}

std::optional<int> maskPrefix(Ipv4 mask)
{
    const std::uint32_t inverted = ~mask.value;
    // Contiguous ones followed by zeros: the inverted mask plus one is a power of two.
    if ((inverted & (inverted + 1)) != 0)
        return std::nullopt;
    int prefix = 0;
    for (std::uint32_t m = mask.value; m & 0x80000000u; m <<= 1)
        ++prefix;
    return prefix;
}

Ipv4 prefixMask(int prefix)
{
    if (prefix <= 0)
        return Ipv4 { 0 };
    if (prefix >= 32)
        return Ipv4 { 0xffffffffu };
    return Ipv4 { ~((std::uint32_t { 1 } << (32 - prefix)) - 1) };
}

} // namespace tarnwick::netsh
