#pragma once

#include <array>
#include <string>

// The pure text rules of the status refresh.
namespace tarnwick
{

// Splits the NameServer text at commas into four servers: the fourth keeps
// every further comma, nothing is trimmed.
std::array<std::string, 4> splitNameServer(const std::string& nameServer);

struct HostPort {
    std::string host;
    std::string port;
    bool operator==(const HostPort&) const = default;
};

// Splits a proxy text at its first ':'; without one the whole text is the host.
HostPort splitProxyServer(const std::string& server);

// Local calendar date and wall-clock time, as panel 4 shows them.
struct LocalDateTime {
    int year = 0;
    int month = 0; // 1..12
    int day = 0; // 1..31
    int hour = 0; // 0..23
    int minute = 0;
    int second = 0;
};

// " 2012-5-8 9:05:03": date without leading zeros, time as hours without a
// leading zero and two-digit minutes and seconds.
std::string dateTimePanelText(const LocalDateTime& t);

// The hint of the adapter list for one adapter, lines joined by CR.
std::string adapterHint(
    const std::string& connectionName, const std::string& description, const std::string& instanceId);

inline constexpr const char* kHintNoSuchAdapter = "没有这块网卡";
inline constexpr const char* kHintNoAdapters = "兄弟，你的网卡呢？";
inline constexpr const char* kPlaceholderIp = "暂时保密";
inline constexpr const char* kPlaceholderMask = "无可奉告";
inline constexpr const char* kPlaceholderGateway = "打一枪换个地方";

inline constexpr const char* kPanelIp = "IP: ";
inline constexpr const char* kPanelMask = "Mask: ";
inline constexpr const char* kPanelGate = "Gate: ";
inline constexpr const char* kPanelDns = "DNS: ";
// Panels 0 and 1 carry a trailing space, 2 and 3 do not.
inline constexpr const char* kUpdatingWide = "Updating... ";
inline constexpr const char* kUpdatingNarrow = "Updating...";

} // namespace tarnwick
