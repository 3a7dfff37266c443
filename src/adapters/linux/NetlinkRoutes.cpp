#include "adapters/linux/NetlinkRoutes.h"

#include <netlink/attr.h>
#include <netlink/msg.h>

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
    auto add = [&](std::uint32_t metric, const nlattr* gateway) {
        if (!gateway || nla_len(gateway) != 4)
            return;
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, nla_data(gateway), text, sizeof text);
        found.push_back({ metric, text });
    };
    rtmsg header;
    socket.dumpEach(mainRoutesRequest(header, ifindex), [&](const nlmsghdr& msg) {
        auto* hdr = const_cast<nlmsghdr*>(&msg);
        if (msg.nlmsg_type != RTM_NEWROUTE || !nlmsg_valid_hdr(hdr, sizeof(rtmsg)))
            return;
        const auto* rtm = static_cast<const rtmsg*>(nlmsg_data(hdr));
        if (rtm->rtm_family != AF_INET || rtm->rtm_dst_len != 0 || rtm->rtm_type != RTN_UNICAST)
            return;
        nlattr* tb[RTA_MAX + 1] = {};
        if (nlmsg_parse(hdr, sizeof(rtmsg), tb, RTA_MAX, nullptr) < 0)
            return;
        const std::uint32_t table = tb[RTA_TABLE] ? nla_get_u32(tb[RTA_TABLE]) : rtm->rtm_table;
        if (table != RT_TABLE_MAIN)
            return;
        const std::uint32_t metric = tb[RTA_PRIORITY] ? nla_get_u32(tb[RTA_PRIORITY]) : 0;
        if (tb[RTA_OIF] && static_cast<int>(nla_get_u32(tb[RTA_OIF])) == ifindex) {
            add(metric, tb[RTA_GATEWAY]);
            return;
        }
        if (!tb[RTA_MULTIPATH])
            return;
        // Each next hop of a multipath route: rtnexthop, then its own attributes.
        const auto* data = static_cast<const unsigned char*>(nla_data(tb[RTA_MULTIPATH]));
        int left = nla_len(tb[RTA_MULTIPATH]);
        while (left >= static_cast<int>(sizeof(rtnexthop))) {
            rtnexthop nh;
            std::memcpy(&nh, data, sizeof nh);
            if (nh.rtnh_len < sizeof(rtnexthop) || nh.rtnh_len > left)
                break;
            if (nh.rtnh_ifindex == ifindex) {
                nlattr* nhTb[RTA_MAX + 1] = {};
                auto* attrs = reinterpret_cast<nlattr*>(
                    const_cast<unsigned char*>(data) + NLMSG_ALIGN(sizeof(rtnexthop)));
                if (nla_parse(nhTb, RTA_MAX, attrs,
                        nh.rtnh_len - static_cast<int>(NLMSG_ALIGN(sizeof(rtnexthop))), nullptr)
                    >= 0)
                    add(metric, nhTb[RTA_GATEWAY]);
            }
            const int step = static_cast<int>(NLMSG_ALIGN(nh.rtnh_len));
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
