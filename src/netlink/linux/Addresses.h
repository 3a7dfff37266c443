#pragma once

#include "base/Ipv4.h"
#include "netlink/linux/Socket.h"

#include <cstdint>
#include <optional>
#include <vector>

struct ifaddrmsg;

namespace tarnwick::netlink
{

// An IPv4 address of an interface.
struct Address {
    Ipv4 address;
    int prefix = 0;
    // A finite lifetime: a DHCP client (dhclient, dhcpcd, netsh's lease)
    // set it with its lease. The one rule for "this address is leased".
    bool dynamic = false;
    // What is left of a dynamic address's valid lifetime when it was read:
    // enough to put it back as it was. Not part of what the address is.
    std::uint32_t secondsLeft = 0;
    bool operator==(const Address& o) const
    {
        return address == o.address && prefix == o.prefix && dynamic == o.dynamic;
    }
};

// One RTM_NEWADDR message of `ifindex`; nullopt for anything else.
std::optional<Address> parseAddress(const nlmsghdr& msg, int ifindex);

// The request for one interface's IPv4 addresses; `header` must outlive it.
Request addressDumpRequest(ifaddrmsg& header, int ifindex);

// The IPv4 addresses of one interface in the kernel's order (primary first,
// then its secondaries).
std::vector<Address> dumpAddresses(Socket& socket, int ifindex);

// Adds the address, or renews it when it is there already; `lifetime` in
// seconds, 0 for a permanent address. Throws NetlinkError.
void addAddress(Socket& socket, int ifindex, const Address& address, std::uint32_t lifetime = 0);
// Removes it; an address that is gone already is no error. Throws NetlinkError.
void removeAddress(Socket& socket, int ifindex, const Address& address);

} // namespace tarnwick::netlink
