#pragma once

#include "adapters/LiveSnapshot.h"
#include "adapters/LiveValuesSource.h"
#include "base/TcpIpConfig.h"

#include <string>

namespace tarnwick
{

namespace restoretext
{
// The heading of a run that puts the point back.
inline constexpr const char* kHeading = "恢复原设置...";
inline constexpr const char* kRestored = "已恢复原设置。";
// Followed by describeInForce of what is in force instead.
inline constexpr const char* kNotRestored = "未能恢复原设置。现在生效的设置：";
inline constexpr const char* kKept = "已保留这些设置。";
} // namespace restoretext

// The settings in force on a link just before a switch: what "恢复原设置"
// and `apply --try` put back, through the same commands as any switch.
struct RestorePoint {
    std::string connectionName;
    // As the fields would hold them: static or DHCP, addresses and masks,
    // gateways, DNS servers; the proxy as it was where the switch changes it.
    TcpIpConfig settings;
    // The gateways' metrics.
    std::array<int, 2> gatewayMetric { 1, 2 };

    bool operator==(const RestorePoint&) const = default;
};

// The point to come back to from a switch to `target`, given the values in
// force before it.
RestorePoint restorePointOf(
    const std::string& connectionName, const LiveValues& before, const TcpIpConfig& target);

// Whether the values in force now are the point's: a DHCP point also needs a
// lease again, not only the DHCP client asking for one.
bool isRestored(const RestorePoint& point, const InterfaceReading& inForceNow);

// The values in force in a line of the log: "DHCP：192.0.2.149/255.255.255.0，
// 网关 192.0.2.1，DNS 192.0.2.53,192.0.2.54", or "静态：…" for a static link.
std::string describeInForce(const TcpIpConfig& inForce);

} // namespace tarnwick
