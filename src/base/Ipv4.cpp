#include "base/Ipv4.h"

namespace tarnwick
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

Ipv4 Ipv4::fromBytes(const std::uint8_t* b)
{
    return of(b[0], b[1], b[2], b[3]);
}

std::array<std::uint8_t, 4> Ipv4::bytes() const
{
    return { static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
        static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value) };
}

bool hasLeadingZero(std::string_view dotted)
{
    for (std::size_t i = 0; i + 1 < dotted.size(); ++i) {
        const bool partStart = i == 0 || dotted[i - 1] == '.';
        if (partStart && dotted[i] == '0' && dotted[i + 1] >= '0' && dotted[i + 1] <= '9')
            return true;
    }
    return false;
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

std::string unusableAddress(Ipv4 ip, AddressRole role)
{
    const std::uint32_t v = ip.value;
    if (v == 0)
        return "0.0.0.0 不指向任何主机";
    if (v == 0xffffffffu)
        return "这是受限广播地址";
    if ((v >> 28) == 0xe)
        return "这是组播地址（224.0.0.0/4）";
    if ((v >> 28) == 0xf)
        return "这是保留地址（240.0.0.0/4）";
    if ((v >> 24) == 127 && role != AddressRole::Dns)
        return "这是本机回环地址（127.0.0.0/8）";
    return {};
}

} // namespace tarnwick
