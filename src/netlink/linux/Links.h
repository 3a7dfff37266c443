#pragma once

#include "netlink/linux/Socket.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick::netlink
{

struct Link {
    int index = 0;
    std::string name;
    std::string kind; // "veth", "dummy", ...; empty for plain hardware
    std::string address; // link-layer address as text, empty when it has none
    bool up = false; // administratively up
    bool loopback = false;
};

// A link-layer address as text: colon-separated hex bytes ("02:00:5e:10:00:01"),
// or the IP address a tunnel carries there (4 or 16 bytes); empty when the
// link has none (no bytes, or all zero).
std::string linkAddressText(const unsigned char* bytes, std::size_t size);

// One RTM_NEWLINK message; nullopt for anything else.
std::optional<Link> parseLink(const nlmsghdr& msg);

// Every link of this network namespace, in ifindex order.
std::vector<Link> dumpLinks(Socket& socket);

} // namespace tarnwick::netlink
