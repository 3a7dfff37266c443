#pragma once

#include "adapters/LiveValuesSource.h"
#include "adapters/RegistryProxySource.h"
#include "base/RegistryStore.h"

namespace tarnwick::windows
{

// Windows values in force: the TCP/IP interface key of the adapter's instance
// id. A missing or non-number "EnableDHCP" reads as static, quietly, since it
// is read every second.
class RegistryLiveValuesSource : public LiveValuesSource
{
public:
    explicit RegistryLiveValuesSource(RegistryStore& store);
    InterfaceReading readInterface(const AdapterEntry& adapter) override;
    ProxyReading readProxy() override;

private:
    RegistryStore& m_store;
    RegistryProxySource m_proxy;
};

inline constexpr const char* kTcpipInterfacesKey
    = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\";

} // namespace tarnwick::windows
