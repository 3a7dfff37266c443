#include "adapters/linux/DesktopProxySource.h"

#include "adapters/RegistryProxySource.h"
#include "adapters/linux/GSettingsProxySource.h"

namespace tarnwick::linuxnet
{

DesktopProxySource::DesktopProxySource(RegistryStore& store)
    : m_store(store)
{
}

ProxyReading DesktopProxySource::read()
{
    if (!m_chosen) {
        if (GSettingsProxySource::available())
            m_chosen = std::make_unique<GSettingsProxySource>();
        else
            m_chosen = std::make_unique<RegistryProxySource>(m_store);
    }
    return m_chosen->read();
}

} // namespace tarnwick::linuxnet
