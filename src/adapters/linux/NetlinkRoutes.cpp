#include "adapters/linux/NetlinkRoutes.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstdint>
#include <cstring>
#include <linux/rtnetlink.h>

namespace tarnwick::linuxnet
{

DumpRequest mainRoutesRequest(rtmsg& header, int ifindex)
{
    header = {};
    header.rtm_family = AF_INET;
    header.rtm_table = RT_TABLE_MAIN;
    // Only this link's routes of the main table: the local table alone holds
    // several routes per address, all of them parsed for nothing.
    return { RTM_GETROUTE, &header, sizeof header, { { RTA_OIF, static_cast<std::uint32_t>(ifindex) } } };
}

std::vector<std::string> dumpDefaultGateways(NetlinkSocket& socket, int ifindex)
{
    struct Gateway {
        std::uint32_t metric;
        std::string address;
    };
    std::vector<Gateway> found;
    auto add = [&](std::uint32_t metric, const rtattr* gateway) {
        if (!gateway || NetlinkAttributes::size(*gateway) != 4)
            return;
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, NetlinkAttributes::data(*gateway), text, sizeof text);
        found.push_back({ metric, text });
    };
    rtmsg header;
    socket.dumpEach(mainRoutesRequest(header, ifindex), [&](const nlmsghdr& msg) {
        const auto* rtm = static_cast<const rtmsg*>(familyHeader(msg, sizeof(rtmsg)));
        if (msg.nlmsg_type != RTM_NEWROUTE || !rtm)
            return;
        if (rtm->rtm_family != AF_INET || rtm->rtm_dst_len != 0 || rtm->rtm_type != RTN_UNICAST)
            return;
        const NetlinkAttributes tb = messageAttributes(msg, sizeof(rtmsg), RTA_MAX);
        const std::uint32_t table = tb.u32(RTA_TABLE).value_or(rtm->rtm_table);
        if (table != RT_TABLE_MAIN)
            return;
        const std::uint32_t metric = tb.u32(RTA_PRIORITY).value_or(0);
        if (const auto oif = tb.u32(RTA_OIF); oif && static_cast<int>(*oif) == ifindex) {
            add(metric, tb[RTA_GATEWAY]);
            return;
        }
        const rtattr* multipath = tb[RTA_MULTIPATH];
        if (!multipath)
            return;
        // Each next hop of a multipath route: rtnexthop, then its own attributes.
        const auto* data = static_cast<const unsigned char*>(NetlinkAttributes::data(*multipath));
        std::size_t left = NetlinkAttributes::size(*multipath);
        while (left >= sizeof(rtnexthop)) {
            rtnexthop nh;
            std::memcpy(&nh, data, sizeof nh);
            if (nh.rtnh_len < sizeof(rtnexthop) || nh.rtnh_len > left)
                break;
            if (nh.rtnh_ifindex == ifindex) {
                const std::size_t hopHeader = RTNH_ALIGN(sizeof(rtnexthop));
                if (nh.rtnh_len >= hopHeader) {
                    const NetlinkAttributes nhTb(data + hopHeader, nh.rtnh_len - hopHeader, RTA_MAX);
                    add(metric, nhTb[RTA_GATEWAY]);
                }
            }
            const std::size_t step = std::min<std::size_t>(RTNH_ALIGN(nh.rtnh_len), left);
            data += step;
            left -= step;
        }
    });
    std::stable_sort(
        found.begin(), found.end(), [](const Gateway& a, const Gateway& b) { return a.metric < b.metric; });
    std::vector<std::string> out;
    for (auto& g : found)
        out.push_back(std::move(g.address));
    return out;
}

} // namespace tarnwick::linuxnet
