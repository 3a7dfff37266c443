#pragma once

#include "netlink/Netlink.h"

#include <string>

struct ifaddrmsg;
#include <vector>

namespace tarnwick::linuxnet
{

struct Ipv4Address {
    std::string address; // dotted quad
    std::string mask; // dotted quad from the prefix length
    // A finite lifetime: a DHCP client (dhclient, dhcpcd) set it with its lease.
    bool dynamic = false;
};

// The dump request for one interface's IPv4 addresses; `header` must
// outlive the request.
DumpRequest ipv4AddressRequest(ifaddrmsg& header, int ifindex);

// The IPv4 addresses of one interface in the kernel's order (primary first,
// then its secondaries).
std::vector<Ipv4Address> dumpIpv4Addresses(NetlinkSocket& socket, int ifindex);

// 24 -> "255.255.255.0"
std::string prefixToMask(int prefixLength);

} // namespace tarnwick::linuxnet
