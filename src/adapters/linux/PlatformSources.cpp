#include "adapters/PlatformSources.h"

#include "adapters/linux/DesktopProxySource.h"
#include "adapters/linux/LinuxAdapterSource.h"
#include "adapters/linux/LinuxLiveValuesSource.h"

namespace tarnwick
{

std::unique_ptr<AdapterSource> makeAdapterSource(RegistryStore&)
{
    return std::make_unique<linuxnet::LinuxAdapterSource>();
}

std::unique_ptr<LiveValuesSource> makeLiveValuesSource(RegistryStore& store, LiveReads reads)
{
    return std::make_unique<linuxnet::LinuxLiveValuesSource>(
        std::make_unique<linuxnet::DesktopProxySource>(store),
        reads == LiveReads::Refresh ? linuxnet::ResolvedServers::Mode::Background
                                    : linuxnet::ResolvedServers::Mode::Wait);
}

std::unique_ptr<ProxySource> makeProxySource(RegistryStore& store)
{
    return std::make_unique<linuxnet::DesktopProxySource>(store);
}

} // namespace tarnwick
