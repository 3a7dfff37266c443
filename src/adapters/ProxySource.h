#pragma once

#include "adapters/LiveValuesSource.h"

namespace tarnwick
{

// Where the user's proxy switch and "host:port" text come from: the desktop's
// system proxy, or the registry store's Internet Settings values.
class ProxySource
{
public:
    virtual ~ProxySource() = default;
    // Missing values read as off and empty; never throws.
    virtual ProxyReading read() = 0;
};

} // namespace tarnwick
