#pragma once

#include "adapters/LiveValuesSource.h"

#include <string>

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
    // Switches the proxy on or off and sets its server: the host alone when
    // the port is empty after trimming. Texts as typed. Throws when the
    // store refuses the write.
    virtual void write(bool on, const std::string& host, const std::string& port) = 0;
};

} // namespace tarnwick
