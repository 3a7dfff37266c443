#pragma once

#include "adapters/linux/Netlink.h"

#include <string>
#include <vector>

namespace tarnwick::linuxnet
{

struct LinkInfo {
    int ifindex = 0;
    std::string name;
    std::string kind; // "veth", "dummy", ...; empty for plain hardware
    std::string address; // link-layer address as text, empty when it has none
    bool up = false; // administratively up
    bool loopback = false;
};

// Every link of this network namespace, in ifindex order.
std::vector<LinkInfo> dumpLinks(NetlinkSocket& socket);

} // namespace tarnwick::linuxnet
