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
    e.from = Ipv4::fromBytes(d.data() + 12);
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

} // namespace tarnwick
