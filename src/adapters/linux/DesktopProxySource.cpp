#include "adapters/linux/DesktopProxySource.h"

#include "adapters/RegistryProxySource.h"
#include "adapters/linux/GSettingsProxySource.h"
#include "adapters/linux/ProxyPrefetch.h"

namespace tarnwick::linuxnet
{

DesktopProxySource::DesktopProxySource(RegistryStore& store)
    : m_store(store)
{
}

ProxyReading DesktopProxySource::read()
{
    if (!m_chosen) {
        const std::optional<ProxyPrefetch::Result> first = ProxyPrefetch::take();
        const bool desktop = first ? first->fromDesktop : GSettingsProxySource::available();
        if (desktop)
            m_chosen = std::make_unique<GSettingsProxySource>();
        else
            m_chosen = std::make_unique<RegistryProxySource>(m_store);
        if (first && first->fromDesktop)
            return first->reading;
    }
    return m_chosen->read();
}

} // namespace tarnwick::linuxnet
