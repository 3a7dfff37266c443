#pragma once

#include "netlink/Netlink.h"

#include <string>

struct rtmsg;
#include <vector>

namespace tarnwick::linuxnet
{

// The dump request for the main table's IPv4 routes through one interface;
// `header` must outlive the request.
DumpRequest mainRoutesRequest(rtmsg& header, int ifindex);

// The IPv4 default gateways through one interface in the main table, the one
// in force (lowest metric) first; equal metrics keep the kernel's order.
std::vector<std::string> dumpDefaultGateways(NetlinkSocket& socket, int ifindex);

} // namespace tarnwick::linuxnet
