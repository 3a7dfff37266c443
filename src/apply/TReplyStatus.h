#pragma once

#include "apply/IcmpPacket.h"

#include <cstdint>
#include <string>

namespace tarnwick
{

// The result of one echo exchange.
struct TReplyStatus {
    int BytesRead = 0; // of the matched datagram, IP header included
    std::string FromAddress = "0.0.0.0"; // its source
    std::uint8_t MessageType = 0;
    std::uint16_t SequenceNumber = 0;
    std::uint32_t RoundTripTime = 0; // ms, from just before the lookup to the end of the wait
    std::uint8_t Ttl = 0;
    ReplyKind kind = ReplyKind::TimedOut;

    bool operator==(const TReplyStatus&) const = default;
};

} // namespace tarnwick
