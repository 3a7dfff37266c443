// Any bytes as a received datagram: the examination either raises IcmpError
// or returns a result consistent with the bytes, and never reads past them.
#include "apply/IcmpPacket.h"

#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tarnwick;
    const std::span<const std::uint8_t> d(data, size);
    try {
        const ExaminedDatagram e = examineDatagram(d);
        const std::size_t h = static_cast<std::size_t>(d[0] & 0xf) * 4;
        if (e.type != d[h] || e.ttl != d[8])
            std::abort();
        switch (e.kind) {
        case ReplyKind::Echo:
            if ((e.type != 0 && e.type != 8) || !e.sequence || *e.sequence != (d[h + 6] | d[h + 7] << 8))
                std::abort();
            break;
        case ReplyKind::Unreachable:
        case ReplyKind::TtlExpired:
            if (e.type != (e.kind == ReplyKind::Unreachable ? 3 : 11))
                std::abort();
            if (e.sequence.has_value() != (2 * h + 16 <= size))
                std::abort();
            break;
        default:
            std::abort();
        }
    } catch (const IcmpError&) {
    }
    return 0;
}
