#pragma once

namespace tarnwick::netsh
{

// True when the process may change addresses, routes and the resolver: its
// effective capability set holds CAP_NET_ADMIN (root, or file capabilities).
bool hasNetAdmin();

} // namespace tarnwick::netsh
