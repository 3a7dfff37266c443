#pragma once

#include <cstdio>
#include <string>

namespace tarnwick::netsh
{

// What a run prints: `out` for the results, `err` for the error lines.
struct RunResult {
    int exitCode = 0;
    std::string out;
    std::string err;
};

// Prints a run's output and errors; its exit status.
inline int finish(const RunResult& result)
{
    std::fputs(result.out.c_str(), stdout);
    std::fflush(stdout);
    std::fputs(result.err.c_str(), stderr);
    return result.exitCode;
}

} // namespace tarnwick::netsh
