#include "netsh/linux/Netlink.h"

#include <arpa/inet.h>
#include <linux/rtnetlink.h>
#include <netlink/netlink.h>
#include <netlink/route/addr.h>
#include <netlink/route/link.h>
#include <netlink/route/route.h>

#include <cstring>
#include <memory>

namespace tarnwick::netsh
{
namespace
{

[[noreturn]] void fail(const std::string& what, int err)
{
    const int code = err < 0 ? -err : err;
    throw NetlinkError(what + ": " + nl_geterror(code), code);
}

template <typename T, void (*Free)(T*)> struct Deleter {
    void operator()(T* p) const
    {
        if (p)
            Free(p);
    }
};
using CachePtr = std::unique_ptr<nl_cache, Deleter<nl_cache, nl_cache_free>>;
using AddrPtr = std::unique_ptr<nl_addr, Deleter<nl_addr, nl_addr_put>>;
using RtAddrPtr = std::unique_ptr<rtnl_addr, Deleter<rtnl_addr, rtnl_addr_put>>;
using RoutePtr = std::unique_ptr<rtnl_route, Deleter<rtnl_route, rtnl_route_put>>;

AddrPtr makeAddr(Ipv4 ip, int prefix)
{
    const std::uint32_t be = htonl(ip.value);
    AddrPtr addr(nl_addr_build(AF_INET, &be, sizeof be));
    if (!addr)
        fail("cannot build an address", NLE_NOMEM);
    nl_addr_set_prefixlen(addr.get(), prefix);
    return addr;
}

Ipv4 ipOf(nl_addr* addr)
{
    if (!addr || nl_addr_get_family(addr) != AF_INET || nl_addr_get_len(addr) != 4)
        return Ipv4 {};
    std::uint32_t be = 0;
    std::memcpy(&be, nl_addr_get_binary_addr(addr), 4);
    return Ipv4 { ntohl(be) };
}

bool isDefaultRoute(rtnl_route* route, int ifindex)
{
    if (rtnl_route_get_family(route) != AF_INET || rtnl_route_get_table(route) != RT_TABLE_MAIN
        || rtnl_route_get_type(route) != RTN_UNICAST)
        return false;
    nl_addr* dst = rtnl_route_get_dst(route);
    if (dst && nl_addr_get_prefixlen(dst) != 0)
        return false;
    if (rtnl_route_get_nnexthops(route) != 1)
        return false;
    return rtnl_route_nh_get_ifindex(rtnl_route_nexthop_n(route, 0)) == ifindex;
}

RoutePtr buildDefaultRoute(int ifindex, Ipv4 gateway, int metric, int protocol, bool onlink)
{
    RoutePtr route(rtnl_route_alloc());
    if (!route)
        fail("cannot build a route", NLE_NOMEM);
    rtnl_route_set_family(route.get(), AF_INET);
    rtnl_route_set_table(route.get(), RT_TABLE_MAIN);
    rtnl_route_set_type(route.get(), RTN_UNICAST);
    rtnl_route_set_scope(route.get(), RT_SCOPE_UNIVERSE);
    rtnl_route_set_protocol(route.get(), static_cast<std::uint8_t>(protocol));
    rtnl_route_set_priority(route.get(), static_cast<std::uint32_t>(metric));
    AddrPtr dst = makeAddr(Ipv4 { 0 }, 0);
    rtnl_route_set_dst(route.get(), dst.get());
    rtnl_nexthop* nh = rtnl_route_nh_alloc();
    if (!nh)
        fail("cannot build a route", NLE_NOMEM);
    rtnl_route_nh_set_ifindex(nh, ifindex);
    if (gateway.value != 0) {
        AddrPtr gw = makeAddr(gateway, 32);
        rtnl_route_nh_set_gateway(nh, gw.get());
    }
    if (onlink)
        rtnl_route_nh_set_flags(nh, RTNH_F_ONLINK);
    rtnl_route_add_nexthop(route.get(), nh); // the route owns nh now
    return route;
}

RtAddrPtr buildAddress(int ifindex, const InterfaceAddress& address)
{
    RtAddrPtr a(rtnl_addr_alloc());
    if (!a)
        fail("cannot build an address", NLE_NOMEM);
    rtnl_addr_set_ifindex(a.get(), ifindex);
    rtnl_addr_set_family(a.get(), AF_INET);
    AddrPtr local = makeAddr(address.address, address.prefix);
    rtnl_addr_set_local(a.get(), local.get());
    rtnl_addr_set_prefixlen(a.get(), address.prefix);
    return a;
}

} // namespace

Netlink::Netlink()
{
    m_sock = nl_socket_alloc();
    if (!m_sock)
        fail("cannot allocate a netlink socket", NLE_NOMEM);
    if (const int err = nl_connect(m_sock, NETLINK_ROUTE); err < 0) {
        nl_socket_free(m_sock);
        fail("cannot open rtnetlink", err);
    }
}

Netlink::~Netlink()
{
    nl_socket_free(m_sock);
}

std::vector<InterfaceInfo> Netlink::interfaces()
{
    nl_cache* raw = nullptr;
    if (const int err = rtnl_link_alloc_cache(m_sock, AF_UNSPEC, &raw); err < 0)
        fail("cannot list interfaces", err);
    CachePtr cache(raw);
    std::vector<InterfaceInfo> out;
    for (nl_object* o = nl_cache_get_first(raw); o; o = nl_cache_get_next(o)) {
        auto* link = reinterpret_cast<rtnl_link*>(o);
        const char* name = rtnl_link_get_name(link);
        out.push_back({ rtnl_link_get_ifindex(link), name ? name : "" });
    }
    return out;
}

std::vector<InterfaceAddress> Netlink::addresses(int ifindex)
{
    nl_cache* raw = nullptr;
    if (const int err = rtnl_addr_alloc_cache(m_sock, &raw); err < 0)
        fail("cannot list addresses", err);
    CachePtr cache(raw);
    std::vector<InterfaceAddress> out;
    for (nl_object* o = nl_cache_get_first(raw); o; o = nl_cache_get_next(o)) {
        auto* a = reinterpret_cast<rtnl_addr*>(o);
        if (rtnl_addr_get_family(a) != AF_INET || rtnl_addr_get_ifindex(a) != ifindex)
            continue;
        const std::uint32_t valid = rtnl_addr_get_valid_lifetime(a);
        out.push_back(
            { ipOf(rtnl_addr_get_local(a)), rtnl_addr_get_prefixlen(a), valid != 0xffffffffu && valid != 0 });
    }
    return out;
}

void Netlink::addAddress(int ifindex, const InterfaceAddress& address, std::uint32_t lifetime)
{
    RtAddrPtr a = buildAddress(ifindex, address);
    if (address.prefix < 31) {
        AddrPtr brd = makeAddr(Ipv4 { address.address.value | ~prefixMask(address.prefix).value }, 32);
        rtnl_addr_set_broadcast(a.get(), brd.get());
    }
    if (lifetime != 0) {
        rtnl_addr_set_valid_lifetime(a.get(), lifetime);
        rtnl_addr_set_preferred_lifetime(a.get(), lifetime);
    }
    // REPLACE renews the lifetime of an address that is there already.
    if (const int err = rtnl_addr_add(m_sock, a.get(), NLM_F_REPLACE); err < 0)
        fail("cannot add address " + formatIpv4(address.address), err);
}

void Netlink::removeAddress(int ifindex, const InterfaceAddress& address)
{
    RtAddrPtr a = buildAddress(ifindex, address);
    const int err = rtnl_addr_delete(m_sock, a.get(), 0);
    // Gone already (a removed primary takes its secondaries along): the wanted state holds.
    if (err < 0 && err != -NLE_NOADDR && err != -NLE_OBJ_NOTFOUND)
        fail("cannot remove address " + formatIpv4(address.address), err);
}

std::vector<DefaultRoute> Netlink::defaultRoutes(int ifindex)
{
    nl_cache* raw = nullptr;
    if (const int err = rtnl_route_alloc_cache(m_sock, AF_INET, 0, &raw); err < 0)
        fail("cannot list routes", err);
    CachePtr cache(raw);
    std::vector<DefaultRoute> out;
    for (nl_object* o = nl_cache_get_first(raw); o; o = nl_cache_get_next(o)) {
        auto* r = reinterpret_cast<rtnl_route*>(o);
        if (!isDefaultRoute(r, ifindex))
            continue;
        out.push_back({ ipOf(rtnl_route_nh_get_gateway(rtnl_route_nexthop_n(r, 0))),
            static_cast<int>(rtnl_route_get_priority(r)), rtnl_route_get_protocol(r) });
    }
    return out;
}

void Netlink::addDefaultRoute(int ifindex, Ipv4 gateway, int metric, int protocol)
{
    for (const auto& r : defaultRoutes(ifindex)) {
        if (r.gateway == gateway && r.metric == metric)
            return;
    }
    RoutePtr route = buildDefaultRoute(ifindex, gateway, metric, protocol, false);
    int err = rtnl_route_add(m_sock, route.get(), NLM_F_EXCL);
    if (err == -NLE_NOADDR || err == -NLE_INVAL || err == -NLE_FAILURE) {
        // The kernel refuses a gateway it cannot reach on the link's subnets.
        route = buildDefaultRoute(ifindex, gateway, metric, protocol, true);
        err = rtnl_route_add(m_sock, route.get(), NLM_F_EXCL);
    }
    if (err < 0)
        fail("cannot add the default route via " + formatIpv4(gateway), err);
}

void Netlink::removeDefaultRoute(int ifindex, const DefaultRoute& route)
{
    RoutePtr r = buildDefaultRoute(ifindex, route.gateway, route.metric, route.protocol, false);
    const int err = rtnl_route_delete(m_sock, r.get(), 0);
    if (err < 0 && err != -NLE_OBJ_NOTFOUND)
        fail("cannot remove the default route via " + formatIpv4(route.gateway), err);
}

} // namespace tarnwick::netsh
