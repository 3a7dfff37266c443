#include "adapters/linux/DesktopProxySource.h"

#include "adapters/RegistryProxySource.h"
#include "adapters/linux/GSettingsProxySource.h"

namespace tarnwick::linuxnet
{

DesktopProxySource::DesktopProxySource(RegistryStore& store)
    : m_store(store)
{
}

ProxySource& DesktopProxySource::chosen()
{
    if (!m_chosen) {
        if (GSettingsProxySource::available())
            m_chosen = std::make_unique<GSettingsProxySource>();
        else
            m_chosen = std::make_unique<RegistryProxySource>(m_store);
    }
    return *m_chosen;
}

ProxyReading DesktopProxySource::read()
{
    return chosen().read();
}

void DesktopProxySource::write(bool on, const std::string& host, const std::string& port)
{
    chosen().write(on, host, port);
}

} // namespace tarnwick::linuxnet
