#pragma once

#include "base/Ipv4.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick::netsh
{

// What a DHCP client tells its script, in one form for every client we run.
struct LeaseEvent {
    enum class Kind {
        Bound, // a lease is in place (new, renewed, rebound)
        Gone, // the lease ended or the client stops
        Ignore, // nothing for us (link events, pre-init, ...)
    };
    Kind kind = Kind::Ignore;
    std::string ifname;
    std::optional<Ipv4> address;
    int prefix = 0;
    std::uint32_t leaseSeconds = 0;
    std::vector<Ipv4> routers;
    std::vector<std::string> dns; // only well-formed IPv4 addresses survive
    std::optional<Ipv4> oldAddress;
    int oldPrefix = 0;
};

// dhcpcd and dhclient: the variables `reason`, `interface`, `new_*`, `old_*`.
// udhcpc: the first argument is the event, variables `ip`, `subnet`, `router`, `dns`.
// Values come from a DHCP server and are checked like user input.
LeaseEvent parseLeaseEvent(
    const std::map<std::string, std::string>& env, const std::vector<std::string>& args);

} // namespace tarnwick::netsh
