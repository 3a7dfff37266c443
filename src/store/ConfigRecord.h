#pragma once

#include "base/TcpIpConfig.h"
#include "base/Text.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace tarnwick
{

// The twenty texts of a stored configuration, in this fixed order.
enum class ConfigField : std::size_t {
    Id,
    Name,
    Ip1,
    Ip2,
    Ip3,
    Mask1,
    Mask2,
    Mask3,
    Gate1,
    Gate2,
    Dns1,
    Dns2,
    Dns3,
    Dns4,
    AgentIp,
    AgentPort,
    UseIp,
    UseDns,
    UseAgent,
    SetAgent,
};

inline constexpr std::size_t kConfigFieldCount = 20;

// The child elements of a Record, in the order the save writes them; entry i
// holds the field ConfigField(i + 1) (the ID is an attribute).
inline constexpr std::array<std::string_view, kConfigFieldCount - 1> kRecordElementNames = {
    "NAME",
    "IP1",
    "IP2",
    "IP3",
    "MASK1",
    "MASK2",
    "MASK3",
    "GATE1",
    "GATE2",
    "DNS1",
    "DNS2",
    "DNS3",
    "DNS4",
    "AGENTIP",
    "AGENTPORT",
    "USEIP",
    "USEDNS",
    "USEAGENT",
    "SETAGENT",
};

// One configuration as stored: each text exactly as read from the file.
struct ConfigRecord {
    std::array<std::string, kConfigFieldCount> texts;

    const std::string& operator[](ConfigField f) const { return texts[static_cast<std::size_t>(f)]; }
    std::string& operator[](ConfigField f) { return texts[static_cast<std::size_t>(f)]; }

    bool operator==(const ConfigRecord&) const = default;
};

// The stored switches are on only for exactly "1"; any other text is off.
inline bool isSwitchOn(std::string_view text)
{
    return text == "1";
}

// The list caption: the stored name when it is not blank, else "Config"
// followed by the position counted from 0.
std::string recordCaption(const ConfigRecord& record, std::size_t position);

// What viewing a stored record puts into the fields: texts as stored, each
// switch on exactly when its text is "1".
TcpIpConfig configOf(const ConfigRecord& record);

// The fourteen texts of a configuration in record order, IP1 to AGENTPORT.
std::array<const std::string*, 14> recordOrderTexts(const TcpIpConfig& config);
std::array<std::string*, 14> recordOrderTexts(TcpIpConfig& config);

} // namespace tarnwick
