#include "adapters/linux/NetlinkLinks.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <linux/if.h>
#include <linux/if_link.h>
#include <linux/rtnetlink.h>

namespace tarnwick::linuxnet
{

std::string linkAddressText(const unsigned char* bytes, std::size_t size)
{
    if (size == 0 || std::all_of(bytes, bytes + size, [](unsigned char b) { return b == 0; }))
        return {};
    // Tunnels carry an IP address as their link-layer address.
    if (size == 4 || size == 16) {
        char text[INET6_ADDRSTRLEN] = {};
        ::inet_ntop(size == 4 ? AF_INET : AF_INET6, bytes, text, sizeof text);
        return text;
    }
    std::string out;
    for (std::size_t i = 0; i < size; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, i == 0 ? "%02x" : ":%02x", bytes[i]);
        out += hex;
    }
    return out;
}

std::vector<LinkInfo> dumpLinks(NetlinkSocket& socket)
{
    // Strict checking wants the whole link header, not just the family.
    ifinfomsg header {};
    header.ifi_family = AF_UNSPEC;
    std::vector<LinkInfo> links;
    socket.dumpEach({ RTM_GETLINK, &header, sizeof header, {} }, [&](const nlmsghdr& msg) {
        const auto* ifi = static_cast<const ifinfomsg*>(familyHeader(msg, sizeof(ifinfomsg)));
        if (msg.nlmsg_type != RTM_NEWLINK || !ifi)
            return;
        const NetlinkAttributes tb = messageAttributes(msg, sizeof(ifinfomsg), IFLA_MAX);
        LinkInfo info;
        info.ifindex = ifi->ifi_index;
        info.name = tb.text(IFLA_IFNAME);
        if (const rtattr* linkInfo = tb[IFLA_LINKINFO]) {
            const NetlinkAttributes nested(
                NetlinkAttributes::data(*linkInfo), NetlinkAttributes::size(*linkInfo), IFLA_INFO_MAX);
            info.kind = nested.text(IFLA_INFO_KIND);
        }
        if (const rtattr* address = tb[IFLA_ADDRESS]) {
            info.address
                = linkAddressText(static_cast<const unsigned char*>(NetlinkAttributes::data(*address)),
                    NetlinkAttributes::size(*address));
        }
        info.up = (ifi->ifi_flags & IFF_UP) != 0;
        info.loopback = (ifi->ifi_flags & IFF_LOOPBACK) != 0;
        links.push_back(std::move(info));
    });
    std::stable_sort(links.begin(), links.end(),
        [](const LinkInfo& a, const LinkInfo& b) { return a.ifindex < b.ifindex; });
    return links;
}

} // namespace tarnwick::linuxnet
