#include "adapters/linux/NetlinkLinks.h"

#include <netlink/addr.h>
#include <netlink/cache.h>
#include <netlink/route/link.h>

#include <algorithm>
#include <linux/if.h>
#include <linux/rtnetlink.h>

namespace tarnwick::linuxnet
{

std::vector<LinkInfo> dumpLinks(NetlinkSocket& socket)
{
    // Strict checking wants the whole link header, not just the family.
    ifinfomsg header {};
    header.ifi_family = AF_UNSPEC;
    const Cache cache = socket.dump("route/link", { RTM_GETLINK, &header, sizeof header, {} });
    std::vector<LinkInfo> links;
    for (nl_object* obj = nl_cache_get_first(cache.get()); obj; obj = nl_cache_get_next(obj)) {
        auto* link = reinterpret_cast<rtnl_link*>(obj);
        LinkInfo info;
        info.ifindex = rtnl_link_get_ifindex(link);
        if (const char* name = rtnl_link_get_name(link))
            info.name = name;
        if (const char* kind = rtnl_link_get_type(link))
            info.kind = kind;
        if (nl_addr* addr = rtnl_link_get_addr(link);
            addr && nl_addr_get_len(addr) > 0 && !nl_addr_iszero(addr)) {
            char buf[128];
            info.address = nl_addr2str(addr, buf, sizeof buf);
        }
        const unsigned flags = rtnl_link_get_flags(link);
        info.up = (flags & IFF_UP) != 0;
        info.loopback = (flags & IFF_LOOPBACK) != 0;
        links.push_back(std::move(info));
    }
    std::stable_sort(links.begin(), links.end(),
        [](const LinkInfo& a, const LinkInfo& b) { return a.ifindex < b.ifindex; });
    return links;
}

} // namespace tarnwick::linuxnet
