#include "cli/ConfigOption.h"

#include "base/Settings.h"
#include "base/StorePaths.h"
#include "base/UserRegistry.h"

namespace tarnwick::cli
{

std::string configFileSetting()
{
    const std::string path
        = settings::peekValue(*openUserRegistry(StoreAccess::ReadOnly), settings::kConfigFile);
    return resolveConfigFile(path.empty() ? std::string(settings::kDefaultConfigFile) : path,
        settingsFolder(StoreEnvironment::current()));
}

} // namespace tarnwick::cli
