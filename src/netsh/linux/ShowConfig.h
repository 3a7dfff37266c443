#pragma once

#include "netlink/linux/Links.h"

#include <string>

namespace tarnwick::netsh
{

// The `show config` block of one interface: DHCP, addresses with their
// prefixes, default gateways with their metrics, DNS servers, in netsh's
// layout (labels padded to one column, a CJK character counting two).
std::string showConfig(netlink::Socket& nl, const netlink::Link& link);

} // namespace tarnwick::netsh
