#pragma once

#include "adapters/AdapterEntry.h"

#include <string>
#include <vector>

namespace tarnwick
{

// One adapter's TCP/IP values in force, as a back end reads them. Lists may
// be longer than the window's fields; the status logic keeps what it shows.
struct InterfaceReading {
    bool dhcp = false; // a missing switch reads as static
    // DHCP: the leased address and mask first; static: every address in order.
    std::vector<std::string> ip;
    std::vector<std::string> mask;
    std::vector<std::string> gateway; // default gateways, first in force first (a lease's too)
    std::string nameServer; // DNS servers joined by commas: static ones, else the lease's

    // Whatever their origin (DHCP included): the first default gateway and the
    // first DNS server the system uses through this adapter.
    std::string gatewayInForce;
    std::string dnsInForce;

    // nameServer holds the lease's servers: the DNS choice reads automatic.
    bool dnsFromLease = false;

    // A DHCP server's address is in force: DHCP can be on with the client
    // still asking, and an address left from before in force meanwhile.
    bool leased = false;
    // The metric of each default gateway above, where the system has one.
    std::vector<int> gatewayMetric {};

    bool operator==(const InterfaceReading&) const = default;
};

// The user's proxy setting: the switch and the "host:port" text.
struct ProxyReading {
    bool enabled = false; // a missing switch reads as off
    std::string server;

    bool operator==(const ProxyReading&) const = default;
};

// Reads the values in force. Called once a second: an adapter, key or value
// that is missing gives empty texts, never an exception.
class LiveValuesSource
{
public:
    virtual ~LiveValuesSource() = default;
    virtual InterfaceReading readInterface(const AdapterEntry& adapter) = 0;
    virtual ProxyReading readProxy() = 0;
};

} // namespace tarnwick
