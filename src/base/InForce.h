#pragma once

#include "base/TcpIpConfig.h"

namespace tarnwick
{

// Whether a stored configuration is the one in force: a switch to it would
// change nothing. Compares what the configuration sets: a DHCP one its DNS
// choice only (the lease brings the rest), a static one its addresses with
// their masks, gateways and DNS servers in order; the proxy only where it
// takes part. Texts are compared as addresses where both read as one.
bool isInForce(const TcpIpConfig& stored, const TcpIpConfig& inForce);

} // namespace tarnwick
