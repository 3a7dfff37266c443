#include "adapters/PlatformSources.h"

#include "adapters/StatusService.h"
#include "adapters/linux/DesktopProxySource.h"
#include "adapters/linux/LinuxAdapterSource.h"
#include "adapters/linux/LinuxLiveValuesSource.h"
#include "base/StorePaths.h"
#include "base/TRegistry.h"
#include "base/linux/RegFileStore.h"

#include <exception>

namespace tarnwick
{

std::unique_ptr<AdapterSource> makeAdapterSource(RegistryStore&)
{
    return std::make_unique<linuxnet::LinuxAdapterSource>();
}

std::unique_ptr<LiveValuesSource> makeLiveValuesSource(RegistryStore& store, LiveReads reads)
{
    return std::make_unique<linuxnet::LinuxLiveValuesSource>(std::make_unique<linuxnet::DesktopProxySource>(store),
        reads == LiveReads::Refresh ? linuxnet::ResolvedServers::Mode::Background
                                    : linuxnet::ResolvedServers::Mode::Wait);
}

AdapterTable discoverAdapters()
{
    RegFileStore store(registryFolder(StoreEnvironment::current()), true);
    return makeAdapterTable(makeAdapterSource(store)->discover());
}

StatusReadout readStatusOnce(std::optional<int> adapter)
{
    // Read-only: a status read never creates the store or the settings key.
    RegFileStore store(registryFolder(StoreEnvironment::current()), true);
    std::string defaultNetCard;
    if (!adapter) {
        try {
            TRegistry reg(store);
            reg.SetRootKey(RegRoot::LocalMachine);
            if (reg.OpenKeyReadOnly("SOFTWARE\\tarnwick"))
                defaultNetCard = reg.ReadString("DefaultNetCard");
        } catch (const std::exception&) {
            // Unreadable settings select line 0, as a missing value does.
        }
    }
    const auto adapters = makeAdapterSource(store);
    const auto values = makeLiveValuesSource(store, LiveReads::OneShot);
    return readStatusOnce(*adapters, *values, defaultNetCard, adapter);
}

} // namespace tarnwick
