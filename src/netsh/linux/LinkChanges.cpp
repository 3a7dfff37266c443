#include "netsh/linux/LinkChanges.h"

#include "netsh/linux/DnsBackend.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <linux/rtnetlink.h>

namespace tarnwick::netsh
{

namespace
{

bool sameAddress(const netlink::Address& a, const netlink::Address& b)
{
    return a.address == b.address && a.prefix == b.prefix;
}

bool holds(const std::vector<netlink::Address>& list, const netlink::Address& wanted)
{
    return std::any_of(list.begin(), list.end(), [&](const auto& a) { return sameAddress(a, wanted); });
}

// Adds the address, or gives the one there its lifetime (a lease's address
// becomes permanent, and back).
void putAddress(netlink::Socket& nl, int ifindex, const netlink::Address& a)
{
    netlink::addAddress(nl, ifindex, a, a.dynamic ? std::max<std::uint32_t>(a.secondsLeft, 1) : 0);
}

// The link's addresses become `wanted`: each put in place first, then the
// rest removed. Removing a primary address takes the secondaries of its
// subnet along, so whatever of `wanted` went with it is put back.
void makeAddresses(netlink::Socket& nl, int ifindex, const std::vector<netlink::Address>& wanted)
{
    for (const auto& a : wanted)
        putAddress(nl, ifindex, a);
    for (const auto& a : netlink::dumpAddresses(nl, ifindex)) {
        if (!holds(wanted, a))
            netlink::removeAddress(nl, ifindex, a);
    }
    const auto now = netlink::dumpAddresses(nl, ifindex);
    for (const auto& a : wanted) {
        if (!holds(now, a))
            putAddress(nl, ifindex, a);
    }
}

bool sameRoute(const netlink::DefaultRoute& a, const netlink::DefaultRoute& b)
{
    return a.gateway == b.gateway && a.metric == b.metric;
}

// The link's single-path default routes become `wanted`, each added before
// the rest are removed.
void makeDefaultRoutes(netlink::Socket& nl, int ifindex, const std::vector<netlink::DefaultRoute>& wanted)
{
    for (const auto& r : wanted) {
        if (!r.multipath)
            netlink::addDefaultRoute(nl, ifindex, r.gateway, r.metric, r.protocol);
    }
    for (const auto& r : netlink::dumpDefaultRoutes(nl, ifindex)) {
        const bool keep
            = std::any_of(wanted.begin(), wanted.end(), [&](const auto& w) { return sameRoute(w, r); });
        if (!r.multipath && !keep)
            netlink::removeDefaultRoute(nl, ifindex, r);
    }
}

} // namespace

FileLock lockState(const std::filesystem::path& dir)
{
    makeStateFolder(dir);
    // Above what a run of ours takes, a client's stop (3 s at most) included.
    std::chrono::milliseconds wait = std::chrono::seconds(5);
    if (const char* ms = ::secure_getenv("TARNWICK_LOCK_WAIT_MS"))
        wait = std::chrono::milliseconds(std::strtol(ms, nullptr, 10));
    FileLock lock(dir / "lock", wait);
    if (!lock.held()) {
        const std::string who = lock.holder() > 0 ? "（pid " + std::to_string(lock.holder()) + "）" : "";
        const auto tenths = wait.count() / 100;
        const std::string secs
            = std::to_string(tenths / 10) + (tenths % 10 ? "." + std::to_string(tenths % 10) : "");
        throw StateBusy(
            "另一个进程" + who + "正持有网络设置的锁，等了 " + secs + " 秒仍未释放，未作任何更改。");
    }
    return lock;
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
    makeAddresses(nl, ifindex, wanted ? std::vector { *wanted } : std::vector<netlink::Address> {});
}

void replaceDefaultRoutes(
    netlink::Socket& nl, int ifindex, std::optional<Ipv4> gateway, int metric, int protocol)
{
    std::vector<netlink::DefaultRoute> wanted;
    if (gateway)
        wanted.push_back({ *gateway, metric, protocol, false });
    makeDefaultRoutes(nl, ifindex, wanted);
}

void removeOtherDefaultRoutes(netlink::Socket& nl, int ifindex, int keep)
{
    for (const auto& r : netlink::dumpDefaultRoutes(nl, ifindex)) {
        if (!r.multipath && r.protocol != keep)
            netlink::removeDefaultRoute(nl, ifindex, r);
    }
}

void removeLeaseLeftovers(netlink::Socket& nl, int ifindex)
{
    for (const auto& r : netlink::dumpDefaultRoutes(nl, ifindex)) {
        if (!r.multipath && r.protocol == RTPROT_DHCP)
            netlink::removeDefaultRoute(nl, ifindex, r);
    }
    for (const auto& a : netlink::dumpAddresses(nl, ifindex)) {
        if (a.dynamic)
            netlink::removeAddress(nl, ifindex, a);
    }
}

LinkSnapshot takeSnapshot(netlink::Socket& nl, const std::string& ifname, int ifindex)
{
    return { netlink::dumpAddresses(nl, ifindex), netlink::dumpDefaultRoutes(nl, ifindex),
        readLinkState(ifname) };
}

void restoreSnapshot(netlink::Socket& nl, const std::string& ifname, int ifindex, const LinkSnapshot& before)
{
    // Addresses first: the routes' gateways are reached through them.
    try {
        makeAddresses(nl, ifindex, before.addresses);
    } catch (const std::exception&) {
    }
    try {
        makeDefaultRoutes(nl, ifindex, before.routes);
    } catch (const std::exception&) {
    }
    try {
        if (!before.record)
            removeLinkState(ifname);
        else if (readLinkState(ifname) != before.record)
            writeLinkState(ifname, *before.record);
    } catch (const std::exception&) {
    }
    try {
        makeDnsBackend()->setServers(ifname, ifindex, effectiveDns(before.record.value_or(LinkState {})));
    } catch (const std::exception&) {
    }
}

} // namespace tarnwick::netsh
