#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace tarnwick::gui
{

// For profiling the start: with TARNWICK_TRACE_STARTUP set, each mark prints
// the milliseconds since the first mark and since the previous one to stderr.
inline void traceStartup(const char* mark)
{
    static const bool on = std::getenv("TARNWICK_TRACE_STARTUP") != nullptr;
    if (!on)
        return;
    using Clock = std::chrono::steady_clock;
    static const Clock::time_point first = Clock::now();
    static Clock::time_point previous = first;
    const Clock::time_point now = Clock::now();
    std::fprintf(stderr, "startup %7.2f ms (+%6.2f) %s\n",
        std::chrono::duration<double, std::milli>(now - first).count(),
        std::chrono::duration<double, std::milli>(now - previous).count(), mark);
    previous = now;
}

} // namespace tarnwick::gui
