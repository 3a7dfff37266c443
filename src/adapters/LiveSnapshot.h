#pragma once

#include "base/TcpIpConfig.h"

#include <mutex>
#include <string>

namespace tarnwick
{

// The selected adapter's values in force, as the last status refresh read them.
struct LiveValues {
    std::string mode; // "DHCP", or the first static address
    // Addresses, masks, gateways and DNS servers are renewed by every
    // refresh; the proxy (proxyOn, host, port) only by a reload of the fields.
    TcpIpConfig config;

    // In force whatever their origin (DHCP-provided included); the probe pings
    // these: the first gateway and DNS server the system uses, even where the
    // fields above are empty.
    std::string gatewayInForce;
    std::string dnsInForce;
    // The metrics of config.gateway's gateways (1 and 2 where the system
    // keeps none): what a restore gives them back.
    std::array<int, 2> gatewayMetric { 1, 2 };

    bool operator==(const LiveValues&) const = default;
};

// Written by the GUI thread's refresh, read by workers: readers take a copy
// under the lock so a refresh never changes texts while they are being read.
class LiveSnapshot
{
public:
    LiveValues get() const
    {
        std::lock_guard lock(m_mutex);
        return m_values;
    }
    void set(const LiveValues& values)
    {
        std::lock_guard lock(m_mutex);
        m_values = values;
    }
    template <typename F> void update(F&& change)
    {
        std::lock_guard lock(m_mutex);
        change(m_values);
    }

private:
    mutable std::mutex m_mutex;
    LiveValues m_values;
};

} // namespace tarnwick
