#include "apply/NetworkProbe.h"

namespace tarnwick
{

std::string probeAddress(const std::string& inForce)
{
    const auto isSep
        = [](char c) { return c == ',' || c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ';'; };
    std::size_t b = 0;
    while (b < inForce.size() && isSep(inForce[b]))
        ++b;
    std::size_t e = b;
    while (e < inForce.size() && !isSep(inForce[e]))
        ++e;
    return inForce.substr(b, e - b);
}

NetworkProbe::NetworkProbe(IcmpNetwork& network, TickClock& clock, const LiveSnapshot& snapshot,
    Dispatcher& dispatcher, ProbeView& view)
    : m_snapshot(snapshot)
    , m_dispatcher(dispatcher)
    , m_view(view)
    , m_pingServer(network, clock)
{
}

void NetworkProbe::show(ProbeTarget target, const IndicatorState& state)
{
    m_dispatcher.invoke([this, target, state] { m_view.showIndicator(target, state); });
}

void NetworkProbe::probe(ProbeTarget target, const std::string& address)
{
    show(target, indicator::testing());
    if (address.empty()) {
        show(target, indicator::noAddress());
        return;
    }
    m_pingServer.Host = address;
    const TReplyStatus status = m_pingServer.Ping();
    show(target,
        status.kind == ReplyKind::Echo ? indicator::answered(status.RoundTripTime) : indicator::noAnswer());
}

void NetworkProbe::TestNetStatus()
{
    m_pingServer.ReceiveTimeout = kReceiveTimeout;
    // Each value is read when its turn comes: the status refresh may renew
    // the snapshot while the gateway is being tested.
    probe(ProbeTarget::Gateway, probeAddress(m_snapshot.get().gatewayInForce));
    probe(ProbeTarget::Dns, probeAddress(m_snapshot.get().dnsInForce));
}

void NetworkProbe::TestNetStatus(const std::string& gatewayInForce, const std::string& dnsInForce)
{
    m_pingServer.ReceiveTimeout = kReceiveTimeout;
    probe(ProbeTarget::Gateway, probeAddress(gatewayInForce));
    probe(ProbeTarget::Dns, probeAddress(dnsInForce));
}

} // namespace tarnwick
