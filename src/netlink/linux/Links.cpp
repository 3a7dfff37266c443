#include "netlink/linux/Links.h"

#include <linux/if.h>
#include <linux/if_link.h>
#include <linux/rtnetlink.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>

namespace tarnwick::netlink
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

std::optional<Link> parseLink(const nlmsghdr& msg)
{
    const auto* ifi = static_cast<const ifinfomsg*>(familyHeader(msg, sizeof(ifinfomsg)));
    if (msg.nlmsg_type != RTM_NEWLINK || !ifi)
        return std::nullopt;
    const Attributes tb = messageAttributes(msg, sizeof(ifinfomsg), IFLA_MAX);
    Link link;
    link.index = ifi->ifi_index;
    link.name = tb.text(IFLA_IFNAME);
    if (const rtattr* info = tb[IFLA_LINKINFO])
        link.kind = Attributes(Attributes::data(*info), Attributes::size(*info), IFLA_INFO_MAX)
                        .text(IFLA_INFO_KIND);
    if (const rtattr* address = tb[IFLA_ADDRESS])
        link.address = linkAddressText(
            static_cast<const unsigned char*>(Attributes::data(*address)), Attributes::size(*address));
    link.up = (ifi->ifi_flags & IFF_UP) != 0;
    link.loopback = (ifi->ifi_flags & IFF_LOOPBACK) != 0;
    return link;
}

std::vector<Link> dumpLinks(Socket& socket)
{
    // Strict checking wants the whole link header, not just the family.
    ifinfomsg header {};
    header.ifi_family = AF_UNSPEC;
    std::vector<Link> links;
    socket.dump({ RTM_GETLINK, 0, &header, sizeof header, {} }, [&](const nlmsghdr& msg) {
        if (auto link = parseLink(msg))
            links.push_back(std::move(*link));
    });
    std::stable_sort(
        links.begin(), links.end(), [](const Link& a, const Link& b) { return a.index < b.index; });
    return links;
}

} // namespace tarnwick::netlink
