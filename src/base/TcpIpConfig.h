#pragma once

#include <array>
#include <string>

namespace tarnwick
{

// One TCP/IP configuration of an adapter, as texts: what the main window's
// fields and boxes hold, what viewing a stored record puts there, what a
// status reload fills in and what is in force on the adapter. Addresses,
// masks and ports stay texts throughout, as typed or as read.
struct TcpIpConfig {
    std::array<std::string, 3> ip; // cxTEIP, cxTEIP2, cxTEIP3
    std::array<std::string, 3> mask; // cxTEMask, cxTEMask2, cxTEMask3
    std::array<std::string, 2> gateway; // cxTEGateway, cxTEGateway2
    std::array<std::string, 4> dns; // cxTEDNSServer .. cxTEDNSServer4
    std::string proxyHost; // cxTEAgentIP
    std::string proxyPort; // cxTEAgentPort
    bool fixedIp = false; // "使用下面的IP地址", else "自动获得IP地址" (DHCP)
    bool fixedDns = false; // "使用下面DNS服务器地址", else automatic
    bool proxyOn = false; // "使用代理服务器"
    // "启用该设置功能": whether the proxy takes part in the configuration.
    // The values in force have no such switch; a status reload leaves it.
    bool proxyTakesPart = false;

    bool operator==(const TcpIpConfig&) const = default;
};

} // namespace tarnwick
