#include "netsh/linux/Netlink.h"

#include "netlink/Netlink.h"

#include <linux/if_addr.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>

namespace tarnwick::netsh
{
namespace
{

using linuxnet::ChangeRequest;
using linuxnet::DumpRequest;
using linuxnet::familyHeader;
using linuxnet::messageAttributes;
using linuxnet::NetlinkAttributes;
using linuxnet::RequestAttribute;

[[noreturn]] void fail(const std::string& what, int err)
{
    throw NetlinkError(what + ": " + std::strerror(err), err);
}

Ipv4 ipOf(const rtattr* a)
{
    if (!a || NetlinkAttributes::size(*a) != 4)
        return Ipv4 {};
    std::uint32_t be = 0;
    std::memcpy(&be, NetlinkAttributes::data(*a), 4);
    return Ipv4 { ntohl(be) };
}

RequestAttribute ipAttribute(int type, Ipv4 ip)
{
    return RequestAttribute::of(type, htonl(ip.value));
}

ifaddrmsg addressHeader(int ifindex, int prefix)
{
    ifaddrmsg header {};
    header.ifa_family = AF_INET;
    header.ifa_prefixlen = static_cast<unsigned char>(prefix);
    header.ifa_index = static_cast<std::uint32_t>(ifindex);
    return header;
}

// An address names itself twice: local and (on a link without a peer) address.
std::vector<RequestAttribute> addressAttributes(Ipv4 ip)
{
    return { ipAttribute(IFA_LOCAL, ip), ipAttribute(IFA_ADDRESS, ip) };
}

} // namespace

Netlink::Netlink()
    : m_sock(std::make_unique<linuxnet::NetlinkSocket>())
{
}

Netlink::~Netlink() = default;

std::vector<InterfaceInfo> Netlink::interfaces()
{
    const ifinfomsg header {};
    std::vector<InterfaceInfo> out;
    m_sock->dumpEach({ RTM_GETLINK, &header, sizeof header, {} }, [&](const nlmsghdr& msg) {
        const auto* info = static_cast<const ifinfomsg*>(familyHeader(msg, sizeof(ifinfomsg)));
        if (msg.nlmsg_type != RTM_NEWLINK || !info)
            return;
        out.push_back(
            { info->ifi_index, messageAttributes(msg, sizeof(ifinfomsg), IFLA_IFNAME).text(IFLA_IFNAME) });
    });
    return out;
}

std::vector<InterfaceAddress> Netlink::addresses(int ifindex)
{
    const ifaddrmsg header = addressHeader(ifindex, 0);
    std::vector<InterfaceAddress> out;
    m_sock->dumpEach({ RTM_GETADDR, &header, sizeof header, {} }, [&](const nlmsghdr& msg) {
        const auto* a = static_cast<const ifaddrmsg*>(familyHeader(msg, sizeof(ifaddrmsg)));
        if (msg.nlmsg_type != RTM_NEWADDR || !a || a->ifa_family != AF_INET
            || static_cast<int>(a->ifa_index) != ifindex)
            return;
        const NetlinkAttributes tb = messageAttributes(msg, sizeof(ifaddrmsg), IFA_CACHEINFO);
        std::uint32_t valid = 0xffffffffu;
        if (const rtattr* ci = tb[IFA_CACHEINFO];
            ci && NetlinkAttributes::size(*ci) >= sizeof(ifa_cacheinfo)) {
            ifa_cacheinfo info {};
            std::memcpy(&info, NetlinkAttributes::data(*ci), sizeof info);
            valid = info.ifa_valid;
        }
        out.push_back({ ipOf(tb[IFA_LOCAL] ? tb[IFA_LOCAL] : tb[IFA_ADDRESS]), a->ifa_prefixlen,
            valid != 0xffffffffu && valid != 0 });
    });
    return out;
}

void Netlink::addAddress(int ifindex, const InterfaceAddress& address, std::uint32_t lifetime)
{
    const ifaddrmsg header = addressHeader(ifindex, address.prefix);
    // REPLACE renews the lifetime of an address that is there already.
    ChangeRequest request { RTM_NEWADDR, NLM_F_CREATE | NLM_F_REPLACE, &header, sizeof header,
        addressAttributes(address.address) };
    if (address.prefix < 31)
        request.attributes.push_back(
            ipAttribute(IFA_BROADCAST, Ipv4 { address.address.value | ~prefixMask(address.prefix).value }));
    if (lifetime != 0) {
        ifa_cacheinfo info {};
        info.ifa_valid = lifetime;
        info.ifa_prefered = lifetime;
        request.attributes.push_back(RequestAttribute::of(IFA_CACHEINFO, info));
    }
    if (const int err = m_sock->change(request); err != 0)
        fail("cannot add address " + formatIpv4(address.address), err);
}

void Netlink::removeAddress(int ifindex, const InterfaceAddress& address)
{
    const ifaddrmsg header = addressHeader(ifindex, address.prefix);
    const int err
        = m_sock->change({ RTM_DELADDR, 0, &header, sizeof header, addressAttributes(address.address) });
    // Gone already (a removed primary takes its secondaries along): the wanted state holds.
    if (err != 0 && err != EADDRNOTAVAIL && err != ENOENT && err != ESRCH)
        fail("cannot remove address " + formatIpv4(address.address), err);
}

std::vector<DefaultRoute> Netlink::defaultRoutes(int ifindex)
{
    rtmsg header {};
    header.rtm_family = AF_INET;
    std::vector<DefaultRoute> out;
    m_sock->dumpEach({ RTM_GETROUTE, &header, sizeof header, {} }, [&](const nlmsghdr& msg) {
        const auto* r = static_cast<const rtmsg*>(familyHeader(msg, sizeof(rtmsg)));
        if (msg.nlmsg_type != RTM_NEWROUTE || !r || r->rtm_family != AF_INET || r->rtm_type != RTN_UNICAST
            || r->rtm_dst_len != 0)
            return;
        const NetlinkAttributes tb = messageAttributes(msg, sizeof(rtmsg), RTA_MAX);
        if (tb.u32(RTA_TABLE).value_or(r->rtm_table) != RT_TABLE_MAIN || tb[RTA_MULTIPATH]
            || static_cast<int>(tb.u32(RTA_OIF).value_or(0)) != ifindex)
            return;
        out.push_back(
            { ipOf(tb[RTA_GATEWAY]), static_cast<int>(tb.u32(RTA_PRIORITY).value_or(0)), r->rtm_protocol });
    });
    return out;
}

namespace
{

int changeDefaultRoute(linuxnet::NetlinkSocket& socket, int type, int flags, int ifindex,
    const DefaultRoute& route, unsigned char scope, bool onlink)
{
    rtmsg header {};
    header.rtm_family = AF_INET;
    header.rtm_table = RT_TABLE_MAIN;
    header.rtm_type = RTN_UNICAST;
    header.rtm_scope = scope;
    header.rtm_protocol = static_cast<unsigned char>(route.protocol);
    if (onlink)
        header.rtm_flags = RTNH_F_ONLINK;
    ChangeRequest request { type, flags, &header, sizeof header,
        { RequestAttribute::of(RTA_OIF, static_cast<std::uint32_t>(ifindex)),
            RequestAttribute::of(RTA_PRIORITY, static_cast<std::uint32_t>(route.metric)) } };
    if (route.gateway.value != 0)
        request.attributes.push_back(ipAttribute(RTA_GATEWAY, route.gateway));
    return socket.change(request);
}

} // namespace

void Netlink::addDefaultRoute(int ifindex, Ipv4 gateway, int metric, int protocol)
{
    for (const auto& r : defaultRoutes(ifindex)) {
        if (r.gateway == gateway && r.metric == metric)
            return;
    }
    const DefaultRoute route { gateway, metric, protocol };
    const auto add = [&](bool onlink) {
        return changeDefaultRoute(
            *m_sock, RTM_NEWROUTE, NLM_F_CREATE | NLM_F_EXCL, ifindex, route, RT_SCOPE_UNIVERSE, onlink);
    };
    int err = add(false);
    if (err == ENETUNREACH || err == EINVAL || err == EADDRNOTAVAIL) {
        // The kernel refuses a gateway it cannot reach on the link's subnets.
        err = add(true);
    }
    if (err != 0)
        fail("cannot add the default route via " + formatIpv4(gateway), err);
}

void Netlink::removeDefaultRoute(int ifindex, const DefaultRoute& route)
{
    // Scope "nowhere" matches a route of any scope.
    const int err = changeDefaultRoute(*m_sock, RTM_DELROUTE, 0, ifindex, route, RT_SCOPE_NOWHERE, false);
    if (err != 0 && err != ESRCH)
        fail("cannot remove the default route via " + formatIpv4(route.gateway), err);
}

} // namespace tarnwick::netsh
