#include "netlink/linux/Addresses.h"

#include <linux/if_addr.h>
#include <linux/rtnetlink.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>

namespace tarnwick::netlink
{

namespace
{

constexpr std::uint32_t kForever = 0xffffffffu;

std::optional<Ipv4> ipOf(const rtattr* a)
{
    if (!a || Attributes::size(*a) != 4)
        return std::nullopt;
    return Ipv4::fromBytes(static_cast<const std::uint8_t*>(Attributes::data(*a)));
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

std::optional<Address> parseAddress(const nlmsghdr& msg, int ifindex)
{
    const auto* ifa = static_cast<const ifaddrmsg*>(familyHeader(msg, sizeof(ifaddrmsg)));
    if (msg.nlmsg_type != RTM_NEWADDR || !ifa)
        return std::nullopt;
    // The kernel filters by interface only under strict checking.
    if (ifa->ifa_family != AF_INET || static_cast<int>(ifa->ifa_index) != ifindex || ifa->ifa_prefixlen > 32)
        return std::nullopt;
    const Attributes tb = messageAttributes(msg, sizeof(ifaddrmsg), IFA_MAX);
    // IFA_LOCAL is the address itself; IFA_ADDRESS the peer on point-to-point links.
    const std::optional<Ipv4> local = ipOf(tb[IFA_LOCAL] ? tb[IFA_LOCAL] : tb[IFA_ADDRESS]);
    if (!local)
        return std::nullopt;
    std::uint32_t valid = kForever;
    if (const rtattr* ci = tb[IFA_CACHEINFO]; ci && Attributes::size(*ci) >= sizeof(ifa_cacheinfo)) {
        ifa_cacheinfo info {};
        std::memcpy(&info, Attributes::data(*ci), sizeof info);
        valid = info.ifa_valid;
    }
    return valid == kForever ? Address { *local, ifa->ifa_prefixlen, false }
                             : Address { *local, ifa->ifa_prefixlen, true, valid };
}

Request addressDumpRequest(ifaddrmsg& header, int ifindex)
{
    header = addressHeader(ifindex, 0);
    return { RTM_GETADDR, 0, &header, sizeof header, {} };
}

std::vector<Address> dumpAddresses(Socket& socket, int ifindex)
{
    ifaddrmsg header;
    std::vector<Address> out;
    socket.dump(addressDumpRequest(header, ifindex), [&](const nlmsghdr& msg) {
        if (auto a = parseAddress(msg, ifindex))
            out.push_back(*a);
    });
    return out;
}

void addAddress(Socket& socket, int ifindex, const Address& address, std::uint32_t lifetime)
{
    const ifaddrmsg header = addressHeader(ifindex, address.prefix);
    // REPLACE renews the lifetime of an address that is there already.
    Request request { RTM_NEWADDR, NLM_F_CREATE | NLM_F_REPLACE, &header, sizeof header,
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
    if (const ChangeResult r = socket.change(request); r.error != 0)
        throw NetlinkError("cannot add address " + formatIpv4(address.address), r.error, r.message);
}

void removeAddress(Socket& socket, int ifindex, const Address& address)
{
    const ifaddrmsg header = addressHeader(ifindex, address.prefix);
    const ChangeResult r
        = socket.change({ RTM_DELADDR, 0, &header, sizeof header, addressAttributes(address.address) });
    // Gone already (a removed primary takes its secondaries along): the wanted state holds.
    if (r.error != 0 && r.error != EADDRNOTAVAIL && r.error != ENOENT && r.error != ESRCH)
        throw NetlinkError("cannot remove address " + formatIpv4(address.address), r.error, r.message);
}

} // namespace tarnwick::netlink
