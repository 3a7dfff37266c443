#pragma once

#include "adapters/ProxySource.h"
#include "base/RegistryStore.h"

#include <memory>

namespace tarnwick::linuxnet
{

// The proxy as this desktop keeps it: GSettings where its proxy schema is
// installed, else the registry store's Internet Settings values, chosen at the
// first read.
class DesktopProxySource : public ProxySource
{
public:
    explicit DesktopProxySource(RegistryStore& store);
    ProxyReading read() override;
    void write(bool on, const std::string& host, const std::string& port) override;

private:
    ProxySource& chosen();

    RegistryStore& m_store;
    std::unique_ptr<ProxySource> m_chosen;
};

} // namespace tarnwick::linuxnet
