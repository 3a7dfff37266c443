#pragma once

#include "netlink/linux/Addresses.h"
#include "netlink/linux/Links.h"
#include "netlink/linux/Routes.h"

#include <string>
#include <vector>

namespace tarnwick::netsh
{

// The `show config` block of one interface: DHCP, addresses with their
// prefixes, default gateways with their metrics, DNS servers, in netsh's
// layout (labels padded to one column, a CJK character counting two).
std::string showConfig(netlink::Socket& nl, const netlink::Link& link);

// What one block shows, wherever it was read from.
struct ConfigView {
    std::string name;
    bool dhcp = false;
    std::vector<netlink::Address> addresses;
    std::vector<netlink::DefaultRoute> defaultRoutes;
    bool dnsAutomatic = true;
    std::vector<std::string> dns;
};
std::string formatConfig(const ConfigView& view);

} // namespace tarnwick::netsh
