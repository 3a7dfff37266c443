#include "base/UserRegistry.h"

#include "base/StorePaths.h"
#include "base/linux/RegFileStore.h"

namespace tarnwick
{

std::unique_ptr<RegistryStore> openUserRegistry(StoreAccess access)
{
    return std::make_unique<RegFileStore>(
        registryFolder(StoreEnvironment::current()), access == StoreAccess::ReadOnly);
}

} // namespace tarnwick
