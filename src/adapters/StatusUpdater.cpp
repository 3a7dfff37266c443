#include "adapters/StatusUpdater.h"

#include "adapters/StatusTexts.h"

#include <utility>

namespace tarnwick
{

namespace
{

template <std::size_t N> std::array<std::string, N> firstOf(const std::vector<std::string>& list)
{
    std::array<std::string, N> out;
    for (std::size_t i = 0; i < N && i < list.size(); ++i)
        out[i] = list[i];
    return out;
}

bool blankAfterTrimmingSpaces(const std::string& text)
{
    return text.find_first_not_of(' ') == std::string::npos;
}

// One panel on a tick: the new value's text, or "Updating" once when it
// changed (without `updating`, the new value at once).
std::string tickPanel(const char* label, const std::string& text, const std::string& first,
    std::string& shown, const char* updating)
{
    if (first != shown) {
        shown = first;
        if (updating)
            return updating;
    }
    return label + text;
}

} // namespace

TcpIpConfig configInForce(const InterfaceReading& reading)
{
    TcpIpConfig c;
    if (reading.dhcp) {
        // The lease alone: a DHCP adapter shows no static extras.
        c.ip[0] = firstOf<1>(reading.ip)[0];
        c.mask[0] = firstOf<1>(reading.mask)[0];
    } else {
        c.ip = firstOf<3>(reading.ip);
        c.mask = firstOf<3>(reading.mask);
    }
    // The gateways and DNS servers in force, a lease's included.
    c.gateway = firstOf<2>(reading.gateway);
    c.dns = splitNameServer(reading.nameServer);
    c.fixedIp = !reading.dhcp;
    // A static adapter always uses fixed servers; a lease's servers read as automatic.
    c.fixedDns = !reading.dhcp || (!reading.dnsFromLease && !blankAfterTrimmingSpaces(reading.nameServer));
    return c;
}

StatusUpdater::StatusUpdater(
    const AdapterTable& table, LiveValuesSource& source, LiveSnapshot& snapshot, LocalClock clock)
    : m_table(table)
    , m_source(source)
    , m_snapshot(snapshot)
    , m_clock(std::move(clock))
{
}

StatusView StatusUpdater::noAdapter() const
{
    StatusView view;
    view.panels = { kPanelIp, kPanelMask, kPanelGate, kPanelDns, {} };
    view.hint = m_table.count() > 0 ? kHintNoSuchAdapter : kHintNoAdapters;
    view.placeholders = std::array<std::string, 3> { kPlaceholderIp, kPlaceholderMask, kPlaceholderGateway };
    return view;
}

StatusView StatusUpdater::updateStatusBar(int selected, bool full, bool atOnce)
{
    StatusView view;
    if (!m_table.contains(selected)) {
        view = noAdapter();
        view.panels[4] = dateTimePanelText(m_clock());
        return view;
    }
    const AdapterEntry& adapter = m_table.at(selected);
    const InterfaceReading reading = m_source.readInterface(adapter);

    const TcpIpConfig inForce = configInForce(reading);
    const std::string mode = reading.dhcp ? "DHCP" : inForce.ip[0];
    m_snapshot.update([&](LiveValues& v) {
        v.mode = mode;
        v.config.ip = inForce.ip;
        v.config.mask = inForce.mask;
        v.config.gateway = inForce.gateway;
        v.config.dns = inForce.dns;
        v.config.fixedIp = inForce.fixedIp;
        v.config.fixedDns = inForce.fixedDns;
        v.gatewayInForce = reading.gatewayInForce;
        v.dnsInForce = reading.dnsInForce;
        v.gatewayMetric = { 1, 2 };
        for (std::size_t i = 0; i < v.gatewayMetric.size() && i < reading.gatewayMetric.size(); ++i)
            v.gatewayMetric[i] = reading.gatewayMetric[i];
    });

    const bool reload = full || selected != m_shown.adapterIndex;
    if (reload) {
        TcpIpConfig fields = inForce;
        const ProxyReading proxy = m_source.readProxy();
        const HostPort hostPort = splitProxyServer(proxy.server);
        fields.proxyOn = proxy.enabled;
        fields.proxyHost = hostPort.host;
        fields.proxyPort = hostPort.port;
        m_snapshot.update([&](LiveValues& v) {
            v.config.proxyOn = proxy.enabled;
            v.config.proxyHost = hostPort.host;
            v.config.proxyPort = hostPort.port;
        });
        view.fields = std::move(fields);
        view.hint = adapterHint(adapter.connectionName, adapter.description, adapter.instanceId);

        m_shown = { inForce.ip[0], inForce.mask[0], inForce.gateway[0], inForce.dns[0], selected };
        view.panels[0] = kPanelIp + inForce.ip[0];
        view.panels[1] = kPanelMask + inForce.mask[0];
        view.panels[2] = kPanelGate + inForce.gateway[0];
        view.panels[3] = kPanelDns + reading.nameServer;
    } else {
        const char* wide = atOnce ? nullptr : kUpdatingWide;
        const char* narrow = atOnce ? nullptr : kUpdatingNarrow;
        view.panels[0] = tickPanel(kPanelIp, inForce.ip[0], inForce.ip[0], m_shown.ip, wide);
        view.panels[1] = tickPanel(kPanelMask, inForce.mask[0], inForce.mask[0], m_shown.mask, wide);
        view.panels[2]
            = tickPanel(kPanelGate, inForce.gateway[0], inForce.gateway[0], m_shown.gateway, narrow);
        view.panels[3] = tickPanel(kPanelDns, reading.nameServer, inForce.dns[0], m_shown.dns, narrow);
    }
    view.panels[4] = dateTimePanelText(m_clock());
    return view;
}

} // namespace tarnwick
