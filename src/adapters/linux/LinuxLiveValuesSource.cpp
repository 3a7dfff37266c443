#include "adapters/linux/LinuxLiveValuesSource.h"

#include "base/Text.h"
#include "linkstate/LinkState.h"
#include "netlink/linux/Addresses.h"
#include "netlink/linux/Routes.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace tarnwick::linuxnet
{

LinuxLiveValuesSource::LinuxLiveValuesSource(std::unique_ptr<ProxySource> proxy,
    ResolvedServers::Mode resolvedMode, std::filesystem::path resolvConf,
    std::filesystem::path resolvedRuntimeDir)
    : m_proxy(std::move(proxy))
    , m_resolver(std::move(resolvConf))
    , m_resolved(resolvedMode, std::move(resolvedRuntimeDir))
{
}

LinuxLiveValuesSource::~LinuxLiveValuesSource()
{
    if (m_ioctlFd >= 0)
        ::close(m_ioctlFd);
}

int LinuxLiveValuesSource::ifindexOf(const std::string& ifname)
{
    // The name may name another link from one tick to the next; asking the
    // kernel on a kept socket is a tenth of if_nametoindex's socket round.
    if (ifname.empty() || ifname.size() >= IFNAMSIZ)
        return 0;
    if (m_ioctlFd < 0)
        m_ioctlFd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_ioctlFd < 0)
        return static_cast<int>(::if_nametoindex(ifname.c_str()));
    ifreq ifr {};
    std::memcpy(ifr.ifr_name, ifname.data(), ifname.size());
    if (::ioctl(m_ioctlFd, SIOCGIFINDEX, &ifr) != 0)
        return 0;
    return ifr.ifr_ifindex;
}

InterfaceReading LinuxLiveValuesSource::readInterface(const AdapterEntry& adapter)
{
    InterfaceReading r;
    const int ifindex = ifindexOf(adapter.connectionName);
    if (ifindex <= 0)
        return r; // gone: empty texts, like a missing interface key

    std::vector<netlink::Address> addresses;
    std::vector<std::string> gateways;
    std::vector<int> metrics;
    try {
        if (!m_socket)
            m_socket = std::make_unique<netlink::Socket>();
        addresses = netlink::dumpAddresses(*m_socket, ifindex);
        for (const netlink::DefaultRoute& route : netlink::dumpDefaultRoutes(*m_socket, ifindex)) {
            if (route.gateway.value != 0) {
                gateways.push_back(formatIpv4(route.gateway));
                metrics.push_back(route.metric);
            }
        }
    } catch (const std::exception&) {
        // A socket in a bad state is replaced on the next tick; this one
        // shows empty texts rather than an error every second.
        m_socket.reset();
        return r;
    }

    const std::optional<LinkState> state = m_linkStates.get(adapter.connectionName, ifindex);
    const bool leased = std::any_of(
        addresses.begin(), addresses.end(), [](const netlink::Address& a) { return a.dynamic; });
    r.dhcp = leased || (state && state->dhcp);
    r.leased = leased;

    if (r.dhcp) {
        // The lease in force, whatever static extras sit beside it.
        auto lease = std::find_if(
            addresses.begin(), addresses.end(), [](const netlink::Address& a) { return a.dynamic; });
        if (lease == addresses.end())
            lease = addresses.begin();
        if (lease != addresses.end()) {
            r.ip.push_back(formatIpv4(lease->address));
            r.mask.push_back(formatIpv4(prefixMask(lease->prefix)));
        }
    } else {
        for (const netlink::Address& a : addresses) {
            r.ip.push_back(formatIpv4(a.address));
            r.mask.push_back(formatIpv4(prefixMask(a.prefix)));
        }
    }
    // A lease's gateway is as much in force as a static one: shown either way.
    r.gateway = gateways;
    r.gatewayMetric = metrics;
    if (!gateways.empty())
        r.gatewayInForce = gateways.front();

    if (state) {
        if (!state->dnsAutomatic) {
            r.nameServer = joinWith(state->staticDns, ',');
        } else if (r.dhcp) {
            r.nameServer = joinWith(state->dhcpDns, ',');
            r.dnsFromLease = true;
        }
        if (!state->dnsAutomatic && !state->staticDns.empty())
            r.dnsInForce = state->staticDns.front();
        else if (!state->dhcpDns.empty())
            r.dnsInForce = state->dhcpDns.front();
    }
    if (r.dnsInForce.empty() || !state) {
        std::vector<std::string> resolver = m_resolver.servers();
        // Behind resolved's stub the file names no real server; resolved
        // knows this link's own.
        if (resolvesThroughStub(resolver)) {
            if (auto linkServers = m_resolved.linkServers(ifindex))
                resolver = std::move(*linkServers);
        }
        if (!state) {
            // A lease of another program's client: its servers are the system's.
            r.nameServer = joinWith(resolver, ',');
            r.dnsFromLease = r.dhcp;
        }
        if (r.dnsInForce.empty() && !resolver.empty())
            r.dnsInForce = resolver.front();
    }
    return r;
}

ProxyReading LinuxLiveValuesSource::readProxy()
{
    return m_proxy ? m_proxy->read() : ProxyReading {};
}

} // namespace tarnwick::linuxnet
