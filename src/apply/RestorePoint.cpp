#include "apply/RestorePoint.h"

#include "adapters/StatusUpdater.h"
#include "base/InForce.h"
#include "base/Text.h"

#include <algorithm>

namespace tarnwick
{

RestorePoint restorePointOf(
    const std::string& connectionName, const LiveValues& before, const TcpIpConfig& target)
{
    RestorePoint point { connectionName, before.config, before.gatewayMetric };
    // netsh carries metrics 1 to 9999; the kernel's 0 (a route added with no
    // metric) is as near as it gets to 1.
    for (int& metric : point.gatewayMetric)
        metric = std::clamp(metric, 1, 9999);
    point.settings.proxyTakesPart = target.proxyTakesPart;
    return point;
}

bool isRestored(const RestorePoint& point, const InterfaceReading& inForceNow)
{
    if (!isInForce(point.settings, configInForce(inForceNow)))
        return false;
    return point.settings.fixedIp || inForceNow.leased;
}

std::string describeInForce(const TcpIpConfig& c)
{
    std::string text = c.fixedIp ? "静态：" : "DHCP：";
    std::string addresses;
    for (std::size_t i = 0; i < c.ip.size(); ++i) {
        if (trimBlanks(c.ip[i]).empty())
            continue;
        addresses += (addresses.empty() ? "" : "，") + c.ip[i] + "/" + c.mask[i];
    }
    text += addresses.empty() ? "没有地址" : addresses;
    std::string gateways;
    for (const auto& g : c.gateway)
        if (!trimBlanks(g).empty())
            gateways += (gateways.empty() ? "" : ",") + g;
    text += "，网关 " + (gateways.empty() ? std::string("无") : gateways);
    std::string servers;
    for (const auto& d : c.dns)
        if (!trimBlanks(d).empty())
            servers += (servers.empty() ? "" : ",") + d;
    text += "，DNS " + (servers.empty() ? std::string("无") : servers);
    return text;
}

} // namespace tarnwick
