#pragma once

#include "adapters/LiveSnapshot.h"

namespace tarnwick::test
{

// Static 192.168.0.5/24 via 192.168.0.1, DNS 192.168.0.1, proxy off: the
// values in force of the worked example the switch's tests start from.
inline LiveValues workedExampleNow()
{
    LiveValues v;
    v.mode = "192.168.0.5";
    v.config.ip[0] = "192.168.0.5";
    v.config.mask[0] = "255.255.255.0";
    v.config.gateway[0] = "192.168.0.1";
    v.config.dns[0] = "192.168.0.1";
    v.config.fixedIp = true;
    v.config.fixedDns = true;
    return v;
}

} // namespace tarnwick::test
