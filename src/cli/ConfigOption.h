#pragma once

#include <string>

namespace tarnwick::cli
{

// The "ConfigFile" setting, read without writing anything ("config.xml" when
// it is not set yet); a relative path is taken from the working directory.
std::string configFileSetting();

} // namespace tarnwick::cli
