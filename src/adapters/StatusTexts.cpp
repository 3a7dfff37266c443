#include "adapters/StatusTexts.h"

#include <cstdio>

namespace tarnwick
{

std::array<std::string, 4> splitNameServer(const std::string& nameServer)
{
    std::array<std::string, 4> dns;
    std::size_t start = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        const std::size_t comma = nameServer.find(',', start);
        if (comma == std::string::npos) {
            dns[i] = nameServer.substr(start);
            return dns;
        }
        dns[i] = nameServer.substr(start, comma - start);
        start = comma + 1;
    }
    dns[3] = nameServer.substr(start);
    return dns;
}

HostPort splitProxyServer(const std::string& server)
{
    const std::size_t colon = server.find(':');
    if (colon == std::string::npos)
        return { server, {} };
    return { server.substr(0, colon), server.substr(colon + 1) };
}

std::string dateTimePanelText(const LocalDateTime& t)
{
    char buf[64];
    std::snprintf(
        buf, sizeof buf, " %d-%d-%d %d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return buf;
}

std::string adapterHint(
    const std::string& connectionName, const std::string& description, const std::string& instanceId)
{
    return "连接名称:  " + connectionName + "\r" + "设备名称:  " + description + "\r"
        + "设备ID:    " + instanceId;
}

} // namespace tarnwick
