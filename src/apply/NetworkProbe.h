#pragma once

#include "adapters/LiveSnapshot.h"
#include "apply/ProbeView.h"
#include "apply/TIdIcmpClient.h"
#include "base/Dispatcher.h"

namespace tarnwick
{

// The network test of a window: one echo to the adapter's gateway and one to
// its first DNS server, each shown on its indicator. Each window has its own
// probe, and so its own client and sequence numbers.
class NetworkProbe
{
public:
    static constexpr int kReceiveTimeout = 2000; // ms

    NetworkProbe(IcmpNetwork& network, TickClock& clock, const LiveSnapshot& snapshot, Dispatcher& dispatcher,
        ProbeView& view);

    // Runs on a worker thread; indicators change through the dispatcher. The
    // gateway and DNS server in force are probed (a DHCP adapter has no
    // static ones). An error in an exchange propagates: the indicator under
    // test stays at "测试" and the DNS one is not tested when the gateway's
    // failed.
    void TestNetStatus();
    // The same over given values in force: after a switch, those read once
    // its last command has ended.
    void TestNetStatus(const std::string& gatewayInForce, const std::string& dnsInForce);

    TIdIcmpClient& PingServer() { return m_pingServer; }

private:
    void probe(ProbeTarget target, const std::string& address);
    void show(ProbeTarget target, const IndicatorState& state);

    const LiveSnapshot& m_snapshot;
    Dispatcher& m_dispatcher;
    ProbeView& m_view;
    TIdIcmpClient m_pingServer;
};

// The text to ping from an "in force" value: trimmed, and only the first
// address should a list ever arrive.
std::string probeAddress(const std::string& inForce);

} // namespace tarnwick
