#include "adapters/linux/NetlinkAddresses.h"

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

DumpRequest ipv4AddressRequest(ifaddrmsg& header, int ifindex)
{
    header = {};
    header.ifa_family = AF_INET;
    header.ifa_index = static_cast<unsigned>(ifindex);
    return { RTM_GETADDR, &header, sizeof header, {} };
}

std::vector<Ipv4Address> dumpIpv4Addresses(NetlinkSocket& socket, int ifindex)
{
    ifaddrmsg header;
    std::vector<Ipv4Address> out;
    socket.dumpEach(ipv4AddressRequest(header, ifindex), [&](const nlmsghdr& msg) {
        const auto* ifa = static_cast<const ifaddrmsg*>(familyHeader(msg, sizeof(ifaddrmsg)));
        if (msg.nlmsg_type != RTM_NEWADDR || !ifa)
            return;
        // The kernel filters by interface only under strict checking.
        if (ifa->ifa_family != AF_INET || static_cast<int>(ifa->ifa_index) != ifindex)
            return;
        const NetlinkAttributes tb = messageAttributes(msg, sizeof(ifaddrmsg), IFA_MAX);
        // IFA_LOCAL is the address itself; IFA_ADDRESS the peer on point-to-point links.
        const rtattr* local = tb[IFA_LOCAL] ? tb[IFA_LOCAL] : tb[IFA_ADDRESS];
        if (!local || NetlinkAttributes::size(*local) != 4)
            return;
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, NetlinkAttributes::data(*local), text, sizeof text);
        const std::uint32_t flags = tb.u32(IFA_FLAGS).value_or(ifa->ifa_flags);
        out.push_back({ text, prefixToMask(ifa->ifa_prefixlen), (flags & IFA_F_PERMANENT) == 0 });
    });
    return out;
}

} // namespace tarnwick::linuxnet
