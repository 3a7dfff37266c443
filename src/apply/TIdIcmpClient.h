#pragma once

#include "apply/IcmpNetwork.h"
#include "apply/TReplyStatus.h"
#include "apply/TickClock.h"

#include <functional>
#include <string>
#include <string_view>

namespace tarnwick
{

// ICMP echo client: one request, one wait for the answer carrying the same
// sequence number. Each client counts its own sequence numbers from 3489. Not
// for use by two threads at once.
class TIdIcmpClient
{
public:
    static constexpr std::uint16_t kFirstSequence = 3489;
    static constexpr int kTtl = 128;

    TIdIcmpClient(IcmpNetwork& network, TickClock& clock);

    // A dotted address, "localhost" in any case, or a name to look up.
    std::string Host;
    int ReceiveTimeout = 5000; // ms
    std::function<void(const TReplyStatus&)> OnReply;

    // One exchange. A non-zero `sequence` replaces the counter first; the
    // counter goes up by one after every exchange that completes (timeouts
    // included). Throws on lookup, socket and send failures and on datagrams
    // that are malformed or of an unknown type; the counter then stays.
    TReplyStatus Ping(std::string_view data = {}, std::uint16_t sequence = 0);

    std::uint16_t sequenceNumber() const { return m_sequence; }

private:
    Ipv4 resolveHost() const;
    TReplyStatus waitForReply(IcmpSocket& socket);

    IcmpNetwork& m_network;
    TickClock& m_clock;
    std::uint16_t m_sequence = kFirstSequence;
};

} // namespace tarnwick
