#pragma once

#include "netsh/Command.h"
#include "netsh/RunResult.h"

namespace tarnwick::netsh
{

// Carries out one parsed command on this machine's network namespace. Checks
// the interface and the rights before anything changes.
RunResult runCommand(const Command& command);

} // namespace tarnwick::netsh
