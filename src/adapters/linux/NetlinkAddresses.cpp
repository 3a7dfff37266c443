#include "adapters/linux/NetlinkAddresses.h"

#include <netlink/addr.h>
#include <netlink/cache.h>
#include <netlink/route/addr.h>

#include <arpa/inet.h>
#include <cstdint>
#include <linux/if_addr.h>
#include <linux/rtnetlink.h>

namespace tarnwick::linuxnet
{

std::string prefixToMask(int prefixLength)
{
    if (prefixLength < 0 || prefixLength > 32)
        return {};
    const std::uint32_t bits = prefixLength == 0 ? 0u : ~std::uint32_t { 0 } << (32 - prefixLength);
    return std::to_string(bits >> 24) + "." + std::to_string((bits >> 16) & 0xff) + "."
        + std::to_string((bits >> 8) & 0xff) + "." + std::to_string(bits & 0xff);
}

std::vector<Ipv4Address> dumpIpv4Addresses(NetlinkSocket& socket, int ifindex)
{
    ifaddrmsg header {};
    header.ifa_family = AF_INET;
    header.ifa_index = static_cast<unsigned>(ifindex);
    const Cache cache = socket.dump("route/addr", RTM_GETADDR, &header, sizeof header);
    std::vector<Ipv4Address> out;
    for (nl_object* obj = nl_cache_get_first(cache.get()); obj; obj = nl_cache_get_next(obj)) {
        auto* addr = reinterpret_cast<rtnl_addr*>(obj);
        // The kernel filters by interface only under strict checking.
        if (rtnl_addr_get_ifindex(addr) != ifindex || rtnl_addr_get_family(addr) != AF_INET)
            continue;
        nl_addr* local = rtnl_addr_get_local(addr);
        if (!local || nl_addr_get_len(local) != 4)
            continue;
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, nl_addr_get_binary_addr(local), text, sizeof text);
        Ipv4Address a;
        a.address = text;
        a.mask = prefixToMask(rtnl_addr_get_prefixlen(addr));
        a.dynamic = (rtnl_addr_get_flags(addr) & IFA_F_PERMANENT) == 0;
        out.push_back(std::move(a));
    }
    return out;
}

} // namespace tarnwick::linuxnet
