#include "netsh/linux/Netlink.h"

#include <linux/if_addr.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <functional>

// Plain rtnetlink rather than a library: netsh starts once per command of an
// apply, and this keeps it small enough to link statically without the
// resolver functions a netlink library brings along.
namespace tarnwick::netsh
{
namespace
{

constexpr std::size_t kBufferSize = 64 * 1024;

// Typed forms of NLMSG_DATA and RTA_DATA, which cast in C style.
template <typename T> T* payloadOf(nlmsghdr* h)
{
    return reinterpret_cast<T*>(reinterpret_cast<char*>(h) + NLMSG_ALIGN(sizeof(nlmsghdr)));
}
template <typename T> const T* payloadOf(const nlmsghdr* h)
{
    return reinterpret_cast<const T*>(reinterpret_cast<const char*>(h) + NLMSG_ALIGN(sizeof(nlmsghdr)));
}
template <typename T> T* dataOf(rtattr* a)
{
    return reinterpret_cast<T*>(reinterpret_cast<char*>(a) + RTA_ALIGN(sizeof(rtattr)));
}
template <typename T> const T* dataOf(const rtattr* a)
{
    return reinterpret_cast<const T*>(reinterpret_cast<const char*>(a) + RTA_ALIGN(sizeof(rtattr)));
}

[[noreturn]] void fail(const std::string& what, int err)
{
    throw NetlinkError(what + ": " + std::strerror(err), err);
}

// One request under construction: header, family header, then attributes.
class Request
{
public:
    Request(std::uint16_t type, std::uint16_t flags, const void* body, std::size_t bodySize)
    {
        m_buf.resize(NLMSG_SPACE(bodySize));
        auto* h = header();
        h->nlmsg_len = static_cast<std::uint32_t>(NLMSG_LENGTH(bodySize));
        h->nlmsg_type = type;
        h->nlmsg_flags = static_cast<std::uint16_t>(flags | NLM_F_REQUEST);
        std::memcpy(payloadOf<char>(h), body, bodySize);
    }

    void add(std::uint16_t type, const void* data, std::size_t size)
    {
        const std::size_t at = NLMSG_ALIGN(header()->nlmsg_len);
        m_buf.resize(at + RTA_SPACE(size));
        auto* rta = reinterpret_cast<rtattr*>(m_buf.data() + at);
        rta->rta_type = type;
        rta->rta_len = static_cast<unsigned short>(RTA_LENGTH(size));
        std::memcpy(dataOf<char>(rta), data, size);
        header()->nlmsg_len = static_cast<std::uint32_t>(at + RTA_LENGTH(size));
    }
    void addU32(std::uint16_t type, std::uint32_t value) { add(type, &value, sizeof value); }
    void addIpv4(std::uint16_t type, Ipv4 ip)
    {
        const std::uint32_t be = htonl(ip.value);
        add(type, &be, sizeof be);
    }

    nlmsghdr* header() { return reinterpret_cast<nlmsghdr*>(m_buf.data()); }

private:
    std::vector<char> m_buf;
};

// The attributes of a message, by type; later ones of a type win.
template <typename Family> std::vector<const rtattr*> attributesOf(const nlmsghdr* h, int familyAttrs)
{
    std::vector<const rtattr*> out(static_cast<std::size_t>(familyAttrs) + 1, nullptr);
    const auto* family = payloadOf<Family>(h);
    int len = static_cast<int>(h->nlmsg_len) - static_cast<int>(NLMSG_LENGTH(sizeof(Family)));
    // Headers of other families carry their attributes at the same aligned offset.
    const auto* rta = reinterpret_cast<const rtattr*>(
        reinterpret_cast<const char*>(family) + NLMSG_ALIGN(sizeof(Family)));
    for (; len > 0 && RTA_OK(rta, len); rta = RTA_NEXT(rta, len)) {
        if (rta->rta_type <= familyAttrs)
            out[rta->rta_type] = rta;
    }
    return out;
}

Ipv4 ipOf(const rtattr* rta)
{
    if (!rta || RTA_PAYLOAD(rta) != 4)
        return Ipv4 {};
    std::uint32_t be = 0;
    std::memcpy(&be, dataOf<char>(rta), 4);
    return Ipv4 { ntohl(be) };
}

std::uint32_t u32Of(const rtattr* rta, std::uint32_t absent)
{
    if (!rta || RTA_PAYLOAD(rta) < 4)
        return absent;
    std::uint32_t v = 0;
    std::memcpy(&v, dataOf<char>(rta), 4);
    return v;
}

} // namespace

class Socket
{
public:
    Socket()
        : m_fd(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE))
    {
        if (m_fd < 0)
            fail("cannot open rtnetlink", errno);
        sockaddr_nl local {};
        local.nl_family = AF_NETLINK;
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
            const int err = errno;
            ::close(m_fd);
            fail("cannot open rtnetlink", err);
        }
    }
    ~Socket() { ::close(m_fd); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // Sends the request and reads its replies, passing each data message to
    // `each`; returns the kernel's error (0 when it accepted or dumped).
    int exchange(Request& request, const std::function<void(const nlmsghdr*)>& each = {})
    {
        nlmsghdr* h = request.header();
        h->nlmsg_seq = ++m_seq;
        sockaddr_nl kernel {};
        kernel.nl_family = AF_NETLINK;
        if (::sendto(m_fd, h, h->nlmsg_len, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof kernel) < 0)
            fail("cannot send to rtnetlink", errno);
        const bool dump = (h->nlmsg_flags & NLM_F_DUMP) == NLM_F_DUMP;
        for (;;) {
            const ssize_t n = ::recv(m_fd, m_reply.get(), kBufferSize, 0);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                fail("cannot read from rtnetlink", errno);
            }
            int left = static_cast<int>(n);
            for (auto* r = reinterpret_cast<const nlmsghdr*>(m_reply.get()); NLMSG_OK(r, left);
                 r = NLMSG_NEXT(r, left)) {
                if (r->nlmsg_seq != m_seq)
                    continue; // a late reply to nothing we wait for
                if (r->nlmsg_type == NLMSG_DONE)
                    return 0;
                if (r->nlmsg_type == NLMSG_ERROR) {
                    const auto* e = payloadOf<nlmsgerr>(r);
                    if (e->error != 0 || !dump)
                        return -e->error;
                    continue;
                }
                if (each)
                    each(r);
            }
        }
    }

private:
    int m_fd;
    std::uint32_t m_seq = 0;
    // Left uninitialised: only the pages a reply fills are ever touched.
    std::unique_ptr<char[]> m_reply { new char[kBufferSize] };
};

Netlink::Netlink()
    : m_sock(std::make_unique<Socket>())
{
}

Netlink::~Netlink() = default;

std::vector<InterfaceInfo> Netlink::interfaces()
{
    ifinfomsg body {};
    body.ifi_family = AF_UNSPEC;
    Request request(RTM_GETLINK, NLM_F_DUMP, &body, sizeof body);
    std::vector<InterfaceInfo> out;
    const int err = m_sock->exchange(request, [&](const nlmsghdr* h) {
        if (h->nlmsg_type != RTM_NEWLINK)
            return;
        const auto* info = payloadOf<ifinfomsg>(h);
        const auto attrs = attributesOf<ifinfomsg>(h, IFLA_IFNAME);
        const rtattr* name = attrs[IFLA_IFNAME];
        out.push_back({ info->ifi_index,
            name ? std::string(dataOf<char>(name), ::strnlen(dataOf<char>(name), RTA_PAYLOAD(name)))
                 : std::string() });
    });
    if (err != 0)
        fail("cannot list interfaces", err);
    return out;
}

std::vector<InterfaceAddress> Netlink::addresses(int ifindex)
{
    ifaddrmsg body {};
    body.ifa_family = AF_INET;
    Request request(RTM_GETADDR, NLM_F_DUMP, &body, sizeof body);
    std::vector<InterfaceAddress> out;
    const int err = m_sock->exchange(request, [&](const nlmsghdr* h) {
        const auto* a = payloadOf<ifaddrmsg>(h);
        if (h->nlmsg_type != RTM_NEWADDR || a->ifa_family != AF_INET
            || static_cast<int>(a->ifa_index) != ifindex)
            return;
        const auto attrs = attributesOf<ifaddrmsg>(h, IFA_CACHEINFO);
        const rtattr* local = attrs[IFA_LOCAL] ? attrs[IFA_LOCAL] : attrs[IFA_ADDRESS];
        std::uint32_t valid = 0xffffffffu;
        if (const rtattr* ci = attrs[IFA_CACHEINFO]; ci && RTA_PAYLOAD(ci) >= sizeof(ifa_cacheinfo)) {
            ifa_cacheinfo info {};
            std::memcpy(&info, dataOf<char>(ci), sizeof info);
            valid = info.ifa_valid;
        }
        out.push_back({ ipOf(local), a->ifa_prefixlen, valid != 0xffffffffu && valid != 0 });
    });
    if (err != 0)
        fail("cannot list addresses", err);
    return out;
}

namespace
{

Request addressRequest(std::uint16_t type, std::uint16_t flags, int ifindex, const InterfaceAddress& address)
{
    ifaddrmsg body {};
    body.ifa_family = AF_INET;
    body.ifa_prefixlen = static_cast<unsigned char>(address.prefix);
    body.ifa_index = static_cast<std::uint32_t>(ifindex);
    Request request(type, flags, &body, sizeof body);
    request.addIpv4(IFA_LOCAL, address.address);
    request.addIpv4(IFA_ADDRESS, address.address);
    return request;
}

} // namespace

void Netlink::addAddress(int ifindex, const InterfaceAddress& address, std::uint32_t lifetime)
{
    // REPLACE renews the lifetime of an address that is there already.
    Request request = addressRequest(RTM_NEWADDR, NLM_F_ACK | NLM_F_CREATE | NLM_F_REPLACE, ifindex, address);
    if (address.prefix < 31)
        request.addIpv4(IFA_BROADCAST, Ipv4 { address.address.value | ~prefixMask(address.prefix).value });
    if (lifetime != 0) {
        ifa_cacheinfo info {};
        info.ifa_valid = lifetime;
        info.ifa_prefered = lifetime;
        request.add(IFA_CACHEINFO, &info, sizeof info);
    }
    if (const int err = m_sock->exchange(request); err != 0)
        fail("cannot add address " + formatIpv4(address.address), err);
}

void Netlink::removeAddress(int ifindex, const InterfaceAddress& address)
{
    Request request = addressRequest(RTM_DELADDR, NLM_F_ACK, ifindex, address);
    const int err = m_sock->exchange(request);
    // Gone already (a removed primary takes its secondaries along): the wanted state holds.
    if (err != 0 && err != EADDRNOTAVAIL && err != ENOENT && err != ESRCH)
        fail("cannot remove address " + formatIpv4(address.address), err);
}

std::vector<DefaultRoute> Netlink::defaultRoutes(int ifindex)
{
    rtmsg body {};
    body.rtm_family = AF_INET;
    Request request(RTM_GETROUTE, NLM_F_DUMP, &body, sizeof body);
    std::vector<DefaultRoute> out;
    const int err = m_sock->exchange(request, [&](const nlmsghdr* h) {
        const auto* r = payloadOf<rtmsg>(h);
        if (h->nlmsg_type != RTM_NEWROUTE || r->rtm_family != AF_INET || r->rtm_type != RTN_UNICAST
            || r->rtm_dst_len != 0)
            return;
        const auto attrs = attributesOf<rtmsg>(h, RTA_TABLE);
        if (u32Of(attrs[RTA_TABLE], r->rtm_table) != RT_TABLE_MAIN || attrs[RTA_MULTIPATH])
            return;
        if (static_cast<int>(u32Of(attrs[RTA_OIF], 0)) != ifindex)
            return;
        out.push_back(
            { ipOf(attrs[RTA_GATEWAY]), static_cast<int>(u32Of(attrs[RTA_PRIORITY], 0)), r->rtm_protocol });
    });
    if (err != 0)
        fail("cannot list routes", err);
    return out;
}

namespace
{

Request routeRequest(std::uint16_t type, std::uint16_t flags, int ifindex, Ipv4 gateway, int metric,
    int protocol, unsigned char scope, bool onlink)
{
    rtmsg body {};
    body.rtm_family = AF_INET;
    body.rtm_table = RT_TABLE_MAIN;
    body.rtm_type = RTN_UNICAST;
    body.rtm_scope = scope;
    body.rtm_protocol = static_cast<unsigned char>(protocol);
    if (onlink)
        body.rtm_flags = RTNH_F_ONLINK;
    Request request(type, flags, &body, sizeof body);
    request.addU32(RTA_OIF, static_cast<std::uint32_t>(ifindex));
    if (gateway.value != 0)
        request.addIpv4(RTA_GATEWAY, gateway);
    request.addU32(RTA_PRIORITY, static_cast<std::uint32_t>(metric));
    return request;
}

} // namespace

void Netlink::addDefaultRoute(int ifindex, Ipv4 gateway, int metric, int protocol)
{
    for (const auto& r : defaultRoutes(ifindex)) {
        if (r.gateway == gateway && r.metric == metric)
            return;
    }
    const auto add = [&](bool onlink) {
        Request request = routeRequest(RTM_NEWROUTE, NLM_F_ACK | NLM_F_CREATE | NLM_F_EXCL, ifindex, gateway,
            metric, protocol, RT_SCOPE_UNIVERSE, onlink);
        return m_sock->exchange(request);
    };
    int err = add(false);
    if (err == ENETUNREACH || err == EINVAL || err == EADDRNOTAVAIL) {
        // The kernel refuses a gateway it cannot reach on the link's subnets.
        err = add(true);
    }
    if (err != 0)
        fail("cannot add the default route via " + formatIpv4(gateway), err);
}

void Netlink::removeDefaultRoute(int ifindex, const DefaultRoute& route)
{
    // Scope "nowhere" matches a route of any scope.
    Request request = routeRequest(RTM_DELROUTE, NLM_F_ACK, ifindex, route.gateway, route.metric,
        route.protocol, RT_SCOPE_NOWHERE, false);
    const int err = m_sock->exchange(request);
    if (err != 0 && err != ESRCH)
        fail("cannot remove the default route via " + formatIpv4(route.gateway), err);
}

} // namespace tarnwick::netsh
