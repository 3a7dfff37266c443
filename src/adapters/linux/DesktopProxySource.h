#pragma once

#include "adapters/ProxySource.h"
#include "app/RegistryStore.h"

#include <memory>

namespace tarnwick::linuxnet
{

// The proxy as this desktop keeps it: GSettings where its proxy schema is
// installed, else the registry store's Internet Settings values. The choice is
// made at the first read, so GIO is not loaded before anything needs it; that
// first read takes the start-up prefetch's answer when there is one.
class DesktopProxySource : public ProxySource
{
public:
    explicit DesktopProxySource(RegistryStore& store);
    ProxyReading read() override;

private:
    RegistryStore& m_store;
    std::unique_ptr<ProxySource> m_chosen;
};

} // namespace tarnwick::linuxnet
