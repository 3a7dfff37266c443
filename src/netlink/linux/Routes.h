#pragma once

#include "base/Ipv4.h"
#include "netlink/linux/Socket.h"

#include <vector>

struct rtmsg;

namespace tarnwick::netlink
{

// A default route of the main table that leaves through one interface.
struct DefaultRoute {
    Ipv4 gateway; // 0.0.0.0 for a route without one
    int metric = 0;
    int protocol = 0;
    // One next hop of a multipath route: the route is shared with other
    // interfaces, so it is shown but never removed or replaced for one of them.
    bool multipath = false;
    bool onlink = false; // added without a subnet of the link reaching the gateway
};

// The default routes that one RTM_NEWROUTE message holds for `ifindex`
// (a multipath route may hold several), appended to `out`.
void parseDefaultRoutes(const nlmsghdr& msg, int ifindex, std::vector<DefaultRoute>& out);

// The request for the main table's routes through one interface; `header`
// must outlive it.
Request mainRoutesRequest(rtmsg& header, int ifindex);

// The IPv4 default routes through one interface in the main table, the one
// in force (lowest metric) first; equal metrics keep the kernel's order.
std::vector<DefaultRoute> dumpDefaultRoutes(Socket& socket, int ifindex);

// Adds a default route; a gateway outside the interface's subnets is added
// as on-link, as Windows accepts such a gateway too. Adding one that exists
// with the same metric is no error, except that an on-link one whose gateway
// a subnet of the link now reaches becomes a plain route. Throws NetlinkError.
void addDefaultRoute(Socket& socket, int ifindex, Ipv4 gateway, int metric, int protocol);
// Removes a single-path default route; one that is gone already is no error.
void removeDefaultRoute(Socket& socket, int ifindex, const DefaultRoute& route);

} // namespace tarnwick::netlink
