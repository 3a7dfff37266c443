#pragma once

#include "adapters/ProxySource.h"
#include "base/RegistryStore.h"

namespace tarnwick
{

// The current user's Internet Settings values "ProxyEnable" and "ProxyServer"
// in the registry store. A missing or non-number "ProxyEnable" reads as off,
// quietly: it is read on every reload of the window.
class RegistryProxySource : public ProxySource
{
public:
    explicit RegistryProxySource(RegistryStore& store);
    ProxyReading read() override;
    // "ProxyEnable" (DWORD) and "ProxyServer" under the Internet Settings key,
    // which is opened without being created: a missing key refuses the write.
    void write(bool on, const std::string& host, const std::string& port) override;

private:
    RegistryStore& m_store;
};

// "ProxyServer" as the program writes it: host, ":" and port, or the host
// alone when the port is empty after trimming.
std::string proxyServerText(const std::string& host, const std::string& port);

inline constexpr const char* kInternetSettingsKey
    = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

} // namespace tarnwick
