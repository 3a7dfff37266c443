#include "adapters/PlatformSources.h"

#include "adapters/linux/DesktopProxySource.h"
#include "adapters/linux/LinuxAdapterSource.h"
#include "adapters/linux/LinuxLiveValuesSource.h"
#include "adapters/linux/NetlinkLinkWatcher.h"
#include "netlink/linux/Socket.h"

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

std::unique_ptr<LinkWatcher> makeLinkWatcher(LinkWatcher::Handlers handlers)
{
    try {
        return std::make_unique<linuxnet::NetlinkLinkWatcher>(std::move(handlers));
    } catch (const netlink::NetlinkError&) {
        return nullptr;
    }
}

} // namespace tarnwick
