#include "netsh/linux/LinkChanges.h"

#include "netlink/linux/Routes.h"
#include "netsh/linux/DnsBackend.h"

#include <algorithm>

namespace tarnwick::netsh
{

FileLock lockState(const std::filesystem::path& dir)
{
    makeStateFolder(dir);
    return FileLock(dir / "lock");
}

LinkState stateOf(const std::string& ifname, int ifindex)
{
    LinkState state = readLinkState(ifname).value_or(LinkState {});
    state.ifindex = ifindex;
    return state;
}

std::vector<std::string> effectiveDns(const LinkState& state)
{
    if (!state.dnsAutomatic)
        return state.staticDns;
    return state.dhcp ? state.dhcpDns : std::vector<std::string> {};
}

void saveAndApplyDns(const std::string& ifname, const LinkState& state)
{
    if (readLinkState(ifname) != state)
        writeLinkState(ifname, state);
    makeDnsBackend()->setServers(ifname, state.ifindex, effectiveDns(state));
}

void replaceAddresses(netlink::Socket& nl, int ifindex, const std::optional<netlink::Address>& wanted)
{
    bool present = false;
    for (const auto& a : netlink::dumpAddresses(nl, ifindex)) {
        if (wanted && a.address == wanted->address && a.prefix == wanted->prefix && !a.dynamic) {
            present = true;
            continue;
        }
        netlink::removeAddress(nl, ifindex, a);
    }
    if (wanted && !present) {
        // Removing a primary address takes its secondaries along; look again.
        const auto now = netlink::dumpAddresses(nl, ifindex);
        if (std::find(now.begin(), now.end(), *wanted) == now.end())
            netlink::addAddress(nl, ifindex, *wanted);
    }
}

void replaceDefaultRoutes(
    netlink::Socket& nl, int ifindex, std::optional<Ipv4> gateway, int metric, int protocol)
{
    for (const auto& r : netlink::dumpDefaultRoutes(nl, ifindex)) {
        if (r.multipath || (gateway && r.gateway == *gateway && r.metric == metric))
            continue;
        netlink::removeDefaultRoute(nl, ifindex, r);
    }
    if (gateway)
        netlink::addDefaultRoute(nl, ifindex, *gateway, metric, protocol);
}

} // namespace tarnwick::netsh
