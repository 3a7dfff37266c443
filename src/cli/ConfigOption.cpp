#include "cli/ConfigOption.h"

#include "base/Settings.h"
#include "base/UserRegistry.h"

namespace tarnwick::cli
{

std::string configFileSetting()
{
    const std::string path
        = settings::peekValue(*openUserRegistry(StoreAccess::ReadOnly), settings::kConfigFile);
    return path.empty() ? std::string(settings::kDefaultConfigFile) : path;
}

} // namespace tarnwick::cli
