#pragma once

#include "dialup/DialBackend.h"

#include <filesystem>
#include <optional>
#include <vector>

namespace tarnwick
{

// The live processes of the program `pppd` (every one of the machine that
// this user may see) as connections, by pid: the line from their `call` or
// `linkname` argument, connected once pppd's linkname file in `runDir` names
// their pid and interface. Nothing when /proc cannot be read.
std::optional<std::vector<DialBackend::Connection>> pppdConnections(
    const std::filesystem::path& pppd, const std::filesystem::path& runDir);

} // namespace tarnwick
