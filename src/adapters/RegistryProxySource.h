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

private:
    RegistryStore& m_store;
};

inline constexpr const char* kInternetSettingsKey
    = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

} // namespace tarnwick
