#pragma once

#include "netsh/RunResult.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace tarnwick::netsh
{

// The DHCP client script mode: `hookPath` is how the client called us (the link
// in the namespace's state folder), `args` its arguments, `env` its variables.
RunResult runLeaseHook(const std::filesystem::path& hookPath, const std::vector<std::string>& args,
    const std::map<std::string, std::string>& env);

} // namespace tarnwick::netsh
