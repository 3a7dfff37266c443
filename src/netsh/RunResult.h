#pragma once

#include <string>

namespace tarnwick::netsh
{

// What a run prints: `out` for the results, `err` for the error lines.
struct RunResult {
    int exitCode = 0;
    std::string out;
    std::string err;
};

} // namespace tarnwick::netsh
