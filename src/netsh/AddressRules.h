#pragma once

#include "base/Ipv4.h"

#include <string>

namespace tarnwick::netsh
{

// What an address is for: each role refuses the addresses no such value may be.
enum class Role { Host, Gateway, Dns };

// Why `ip` cannot serve in `role` (one Chinese phrase), or empty when it can:
// 0.0.0.0, the limited broadcast, multicast and class E for every role, and
// loopback for all but a DNS server (a local resolver is one).
std::string unusable(Ipv4 ip, Role role);

} // namespace tarnwick::netsh
