#pragma once

#include "base/Ipv4.h"

#include <string>

namespace tarnwick::netsh
{

using Role = AddressRole;

inline std::string unusable(Ipv4 ip, Role role)
{
    return unusableAddress(ip, role);
}

} // namespace tarnwick::netsh
