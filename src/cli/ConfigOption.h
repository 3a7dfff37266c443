#pragma once

#include <string>

namespace tarnwick::cli
{

// The "ConfigFile" setting, read without writing anything ("config.xml" when
// it is not set yet); a relative path is taken from the settings' folder, as
// the window takes it.
std::string configFileSetting();

} // namespace tarnwick::cli
