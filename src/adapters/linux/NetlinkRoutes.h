#pragma once

#include "adapters/linux/Netlink.h"

#include <string>
#include <vector>

namespace tarnwick::linuxnet
{

// The IPv4 default gateways through one interface in the main table, the one
// in force (lowest metric) first; equal metrics keep the kernel's order.
std::vector<std::string> dumpDefaultGateways(NetlinkSocket& socket, int ifindex);

} // namespace tarnwick::linuxnet
