#include "adapters/linux/NetlinkRoutes.h"

#include <netlink/addr.h>
#include <netlink/cache.h>
#include <netlink/route/nexthop.h>
#include <netlink/route/route.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cstdint>
#include <linux/rtnetlink.h>

namespace tarnwick::linuxnet
{

std::vector<std::string> dumpDefaultGateways(NetlinkSocket& socket, int ifindex)
{
    rtmsg header {};
    header.rtm_family = AF_INET;
    const Cache cache = socket.dump("route/route", RTM_GETROUTE, &header, sizeof header);
    struct Gateway {
        std::uint32_t metric;
        std::string address;
    };
    std::vector<Gateway> found;
    for (nl_object* obj = nl_cache_get_first(cache.get()); obj; obj = nl_cache_get_next(obj)) {
        auto* route = reinterpret_cast<rtnl_route*>(obj);
        if (rtnl_route_get_family(route) != AF_INET || rtnl_route_get_table(route) != RT_TABLE_MAIN
            || rtnl_route_get_type(route) != RTN_UNICAST)
            continue;
        nl_addr* dst = rtnl_route_get_dst(route);
        if (dst && nl_addr_get_prefixlen(dst) != 0)
            continue;
        for (int i = 0; i < rtnl_route_get_nnexthops(route); ++i) {
            rtnl_nexthop* nh = rtnl_route_nexthop_n(route, i);
            nl_addr* gw = rtnl_route_nh_get_gateway(nh);
            if (rtnl_route_nh_get_ifindex(nh) != ifindex || !gw || nl_addr_get_len(gw) != 4)
                continue;
            char text[INET_ADDRSTRLEN] = {};
            ::inet_ntop(AF_INET, nl_addr_get_binary_addr(gw), text, sizeof text);
            found.push_back({ rtnl_route_get_priority(route), text });
        }
    }
    std::stable_sort(
        found.begin(), found.end(), [](const Gateway& a, const Gateway& b) { return a.metric < b.metric; });
    std::vector<std::string> out;
    for (auto& g : found)
        out.push_back(std::move(g.address));
    return out;
}

} // namespace tarnwick::linuxnet
