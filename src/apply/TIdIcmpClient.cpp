#include "apply/TIdIcmpClient.h"

#include <algorithm>
#include <cctype>

namespace tarnwick
{

TIdIcmpClient::TIdIcmpClient(IcmpNetwork& network, TickClock& clock)
    : m_network(network)
    , m_clock(clock)
{
}

Ipv4 TIdIcmpClient::resolveHost() const
{
    std::string upper = Host;
    std::transform(upper.begin(), upper.end(), upper.begin(),
        [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (upper == "LOCALHOST")
        return Ipv4::of(127, 0, 0, 1);
    if (auto dotted = parseIpv4(Host))
        return *dotted;
    return m_network.resolve(Host);
}

TReplyStatus TIdIcmpClient::Ping(std::string_view data, std::uint16_t sequence)
{
    if (sequence != 0)
        m_sequence = sequence;
    const EchoRequest request = buildEchoRequest(m_network.processId(), m_sequence, m_clock.now(), data);
    const std::uint32_t start = m_clock.now();

    const Ipv4 target = resolveHost();
    TReplyStatus status;
    {
        // Opened per exchange and closed on every path, errors included.
        const auto socket = m_network.open(kTtl);
        socket->send(request, target);
        status = waitForReply(*socket);
    }
    status.RoundTripTime = m_clock.now() - start; // unsigned: right across the wrap

    if (OnReply)
        OnReply(status);
    ++m_sequence;
    return status;
}

TReplyStatus TIdIcmpClient::waitForReply(IcmpSocket& socket)
{
    const std::uint32_t waitStart = m_clock.now();
    for (bool first = true;; first = false) {
        const std::int64_t elapsed = m_clock.now() - waitStart;
        const std::int64_t remaining = ReceiveTimeout - elapsed;
        if (!first && remaining <= 0)
            break;
        const auto datagram = socket.receive(static_cast<int>(std::max<std::int64_t>(remaining, 0)));
        if (!datagram)
            break;
        const ExaminedDatagram e = examineDatagram(*datagram);
        // Matched by sequence number alone: a ping socket's identifier is the
        // kernel's, not ours.
        if (e.sequence != m_sequence)
            continue;
        TReplyStatus status;
        status.BytesRead = static_cast<int>(datagram->size());
        status.FromAddress = formatIpv4(e.from);
        status.MessageType = e.type;
        status.SequenceNumber = *e.sequence;
        status.Ttl = e.ttl;
        status.kind = e.kind;
        return status;
    }
    TReplyStatus timedOut;
    timedOut.SequenceNumber = m_sequence;
    timedOut.kind = ReplyKind::TimedOut;
    return timedOut;
}

} // namespace tarnwick
