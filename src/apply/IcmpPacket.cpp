#include "apply/IcmpPacket.h"

#include <algorithm>

namespace tarnwick
{

std::uint16_t internetChecksum(std::span<const std::uint8_t> bytes)
{
    std::uint32_t sum = 0;
    std::size_t i = 0;
    // Words in memory order: the folded sum, stored back in the same order,
    // is the standard checksum on any host.
    for (; i + 1 < bytes.size(); i += 2)
        sum += static_cast<std::uint32_t>(bytes[i]) | static_cast<std::uint32_t>(bytes[i + 1]) << 8;
    if (i < bytes.size())
        sum += bytes[i];
    while (sum >> 16)
        sum = (sum & 0xffff) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum & 0xffff);
}

namespace
{

void putLe16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = static_cast<std::uint8_t>(v & 0xff);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

std::uint16_t getLe16(std::span<const std::uint8_t> d, std::size_t at)
{
    return static_cast<std::uint16_t>(d[at] | d[at + 1] << 8);
}

} // namespace

EchoRequest buildEchoRequest(
    std::uint16_t identifier, std::uint16_t sequence, std::uint32_t tickCount, std::string_view data)
{
    EchoRequest r {};
    r[0] = kIcmpEchoRequest;
    r[1] = 0;
    putLe16(&r[4], identifier);
    putLe16(&r[6], sequence);
    putLe16(&r[8], static_cast<std::uint16_t>(tickCount & 0xffff));
    putLe16(&r[10], static_cast<std::uint16_t>(tickCount >> 16));
    std::fill(r.begin() + 20, r.end(), std::uint8_t { 'E' });
    const std::size_t n = std::min<std::size_t>(data.size(), 32);
    std::copy_n(data.begin(), n, r.begin() + 20);
    putLe16(&r[2], internetChecksum(r));
    return r;
}

ExaminedDatagram examineDatagram(std::span<const std::uint8_t> d)
{
    if (d.size() < 20)
        throw IcmpError("ICMP datagram too short: " + std::to_string(d.size()) + " bytes");
    const std::size_t h = static_cast<std::size_t>(d[0] & 0x0f) * 4;
    if (h < 20)
        throw IcmpError("ICMP datagram with a bad IP header length");
    if (d.size() < h + 8)
        throw IcmpError("ICMP datagram too short: " + std::to_string(d.size()) + " bytes");

    ExaminedDatagram e;
    e.type = d[h];
    e.ttl = d[8];
    std::copy_n(d.begin() + 12, 4, e.from.begin());
    switch (e.type) {
    case kIcmpEchoReply:
    case kIcmpEchoRequest:
        e.kind = ReplyKind::Echo;
        e.sequence = getLe16(d, h + 6);
        break;
    case kIcmpUnreachable:
    case kIcmpTimeExceeded: {
        e.kind = e.type == kIcmpUnreachable ? ReplyKind::Unreachable : ReplyKind::TtlExpired;
        const std::size_t at = h + 8 + h + 6;
        if (at + 2 <= d.size())
            e.sequence = getLe16(d, at);
        break;
    }
    default:
        throw IcmpError("unexpected ICMP message type " + std::to_string(e.type));
    }
    return e;
}

std::optional<Ipv4> parseDottedIpv4(std::string_view text)
{
    Ipv4 out {};
    std::size_t part = 0;
    std::size_t i = 0;
    for (;;) {
        if (i == text.size() || text[i] < '0' || text[i] > '9')
            return std::nullopt;
        unsigned value = 0;
        std::size_t digits = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            value = value * 10 + static_cast<unsigned>(text[i] - '0');
            if (++digits > 3)
                return std::nullopt;
            ++i;
        }
        if (value > 255)
            return std::nullopt;
        out[part++] = static_cast<std::uint8_t>(value);
        if (part == 4)
            return i == text.size() ? std::optional(out) : std::nullopt;
        if (i == text.size() || text[i] != '.')
            return std::nullopt;
        ++i;
    }
}

std::string dottedIpv4(const Ipv4& a)
{
    return std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "."
        + std::to_string(a[3]);
}

} // namespace tarnwick
