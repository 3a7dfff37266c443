#pragma once

#include "adapters/ProxySource.h"

namespace tarnwick::linuxnet
{

// The desktop's system proxy (GSettings "org.gnome.system.proxy"): on when
// its mode is "manual"; the text is the HTTP proxy's host, with ":" and the
// port when a host and a port are set (port 0 means none).
class GSettingsProxySource : public ProxySource
{
public:
    // True when the schema is installed and the desktop's settings can be
    // written (a session bus, or an explicit back end), so this source can be used.
    static bool available();
    ProxyReading read() override;
    // Mode "manual" or "none", the HTTP host, and the port (0 when the text
    // is no port number), flushed to the desktop's store at once.
    void write(bool on, const std::string& host, const std::string& port) override;
};

} // namespace tarnwick::linuxnet
