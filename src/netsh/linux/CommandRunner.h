#pragma once

#include "netsh/Command.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace tarnwick::netsh
{

// What a run prints: `out` for the results, `err` for the error lines.
struct RunResult {
    int exitCode = 0;
    std::string out;
    std::string err;
};

// Carries out one parsed command on this machine's network namespace. Checks
// the interface and the rights before anything changes.
RunResult runCommand(const Command& command);

// The DHCP client script mode: `hookPath` is how the client called us (the link
// in the namespace's state folder), `args` its arguments, `env` its variables.
RunResult runLeaseHook(const std::filesystem::path& hookPath, const std::vector<std::string>& args,
    const std::map<std::string, std::string>& env);

} // namespace tarnwick::netsh
