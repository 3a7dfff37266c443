#include "netlink/linux/Routes.h"

#include <linux/rtnetlink.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <optional>
#include <sys/socket.h>

namespace tarnwick::netlink
{

namespace
{

Ipv4 gatewayOf(const rtattr* a)
{
    if (!a || Attributes::size(*a) != 4)
        return Ipv4 {};
    return Ipv4::fromBytes(static_cast<const std::uint8_t*>(Attributes::data(*a)));
}

int changeDefaultRoute(Socket& socket, int type, int flags, int ifindex, const DefaultRoute& route,
    unsigned char scope, bool onlink, std::string& message)
{
    rtmsg header {};
    header.rtm_family = AF_INET;
    header.rtm_table = RT_TABLE_MAIN;
    header.rtm_type = RTN_UNICAST;
    header.rtm_scope = scope;
    header.rtm_protocol = static_cast<unsigned char>(route.protocol);
    if (onlink)
        header.rtm_flags = RTNH_F_ONLINK;
    Request request { type, flags, &header, sizeof header,
        { RequestAttribute::of(RTA_OIF, static_cast<std::uint32_t>(ifindex)),
            RequestAttribute::of(RTA_PRIORITY, static_cast<std::uint32_t>(route.metric)) } };
    if (route.gateway.value != 0)
        request.attributes.push_back(RequestAttribute::of(RTA_GATEWAY, htonl(route.gateway.value)));
    ChangeResult r = socket.change(request);
    message = std::move(r.message);
    return r.error;
}

} // namespace

void parseDefaultRoutes(const nlmsghdr& msg, int ifindex, std::vector<DefaultRoute>& out)
{
    const auto* rtm = static_cast<const rtmsg*>(familyHeader(msg, sizeof(rtmsg)));
    if (msg.nlmsg_type != RTM_NEWROUTE || !rtm)
        return;
    if (rtm->rtm_family != AF_INET || rtm->rtm_dst_len != 0 || rtm->rtm_type != RTN_UNICAST)
        return;
    const Attributes tb = messageAttributes(msg, sizeof(rtmsg), RTA_MAX);
    if (tb.u32(RTA_TABLE).value_or(rtm->rtm_table) != RT_TABLE_MAIN)
        return;
    const int metric = static_cast<int>(tb.u32(RTA_PRIORITY).value_or(0));
    if (const auto oif = tb.u32(RTA_OIF); oif && static_cast<int>(*oif) == ifindex) {
        out.push_back({ gatewayOf(tb[RTA_GATEWAY]), metric, rtm->rtm_protocol, false,
            (rtm->rtm_flags & RTNH_F_ONLINK) != 0 });
        return;
    }
    const rtattr* multipath = tb[RTA_MULTIPATH];
    if (!multipath)
        return;
    // Each next hop of a multipath route: rtnexthop, then its own attributes.
    const auto* data = static_cast<const unsigned char*>(Attributes::data(*multipath));
    std::size_t left = Attributes::size(*multipath);
    while (left >= sizeof(rtnexthop)) {
        rtnexthop nh;
        std::memcpy(&nh, data, sizeof nh);
        if (nh.rtnh_len < sizeof(rtnexthop) || nh.rtnh_len > left)
            break;
        const std::size_t hopHeader = RTNH_ALIGN(sizeof(rtnexthop));
        if (nh.rtnh_ifindex == ifindex && nh.rtnh_len >= hopHeader) {
            const Attributes hop(data + hopHeader, nh.rtnh_len - hopHeader, RTA_MAX);
            out.push_back({ gatewayOf(hop[RTA_GATEWAY]), metric, rtm->rtm_protocol, true,
                (nh.rtnh_flags & RTNH_F_ONLINK) != 0 });
        }
        const std::size_t step = std::min<std::size_t>(RTNH_ALIGN(nh.rtnh_len), left);
        data += step;
        left -= step;
    }
}

Request mainRoutesRequest(rtmsg& header, int ifindex)
{
    header = {};
    header.rtm_family = AF_INET;
    header.rtm_table = RT_TABLE_MAIN;
    // Only this link's routes of the main table: the local table alone holds
    // several routes per address, all of them parsed for nothing.
    return { RTM_GETROUTE, 0, &header, sizeof header,
        { RequestAttribute::of(RTA_OIF, static_cast<std::uint32_t>(ifindex)) } };
}

std::vector<DefaultRoute> dumpDefaultRoutes(Socket& socket, int ifindex)
{
    rtmsg header;
    std::vector<DefaultRoute> found;
    socket.dump(mainRoutesRequest(header, ifindex),
        [&](const nlmsghdr& msg) { parseDefaultRoutes(msg, ifindex, found); });
    std::stable_sort(found.begin(), found.end(),
        [](const DefaultRoute& a, const DefaultRoute& b) { return a.metric < b.metric; });
    return found;
}

void addDefaultRoute(Socket& socket, int ifindex, Ipv4 gateway, int metric, int protocol)
{
    std::optional<DefaultRoute> onlinkThere;
    for (const auto& r : dumpDefaultRoutes(socket, ifindex)) {
        if (r.multipath || r.gateway != gateway || r.metric != metric)
            continue;
        if (!r.onlink)
            return;
        onlinkThere = r;
    }
    const DefaultRoute route { gateway, metric, protocol, false };
    std::string message;
    // APPEND: beside routes of equal metric (other links' or the one this
    // route is to replace), behind them, so those stay in force until removed.
    const auto add = [&](bool onlink) {
        return changeDefaultRoute(socket, RTM_NEWROUTE, NLM_F_CREATE | NLM_F_APPEND, ifindex, route,
            RT_SCOPE_UNIVERSE, onlink, message);
    };
    int err = add(false);
    const bool unreachable = err == ENETUNREACH || err == EINVAL || err == EADDRNOTAVAIL;
    if (onlinkThere) {
        // Added on-link before the address that reaches it was in place: the
        // plain route takes its place, else the on-link one stays as it is.
        if (err == 0)
            removeDefaultRoute(socket, ifindex, *onlinkThere);
        else if (!unreachable)
            throw NetlinkError("cannot add the default route via " + formatIpv4(gateway), err, message);
        return;
    }
    if (unreachable) {
        // The kernel refuses a gateway it cannot reach on the link's subnets.
        err = add(true);
    }
    if (err != 0)
        throw NetlinkError("cannot add the default route via " + formatIpv4(gateway), err, message);
}

void removeDefaultRoute(Socket& socket, int ifindex, const DefaultRoute& route)
{
    // Scope "nowhere" matches a route of any scope.
    std::string message;
    const int err = changeDefaultRoute(
        socket, RTM_DELROUTE, 0, ifindex, route, RT_SCOPE_NOWHERE, route.onlink, message);
    if (err != 0 && err != ESRCH)
        throw NetlinkError("cannot remove the default route via " + formatIpv4(route.gateway), err, message);
}

} // namespace tarnwick::netlink
