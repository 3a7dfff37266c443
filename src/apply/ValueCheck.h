#pragma once

#include "base/TcpIpConfig.h"

#include <optional>
#include <string>
#include <vector>

namespace tarnwick
{

// Why a switch to these fields must not start, naming the field as the main
// window labels it and its value, or nullopt when every value a command
// would carry is usable. A switch is refused as a whole: netsh refuses a bad
// value on its own step only, and the steps around it would leave the
// adapter half-switched. Automatic addressing checks no address, mask or
// gateway, automatic DNS no DNS server; empty optional fields pass.
std::optional<std::string> refuseValues(const TcpIpConfig& fields);

// What the log notes about accepted values: a gateway outside the subnets
// of the new addresses, one line each.
std::vector<std::string> valueNotes(const TcpIpConfig& fields);

} // namespace tarnwick
