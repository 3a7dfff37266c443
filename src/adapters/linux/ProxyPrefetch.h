#pragma once

#include "adapters/LiveValuesSource.h"

#include <optional>
#include <sys/types.h>

namespace tarnwick::linuxnet
{

// The desktop proxy's first reading, taken by a child process forked at the
// start of the window program. The window shows it on its first showing, and
// the long-running process loads GIO (more than a megabyte of libraries,
// threads and a bus connection) only when the proxy is read again later. The
// child runs beside the window's own start on another core.
class ProxyPrefetch
{
public:
    struct Result {
        bool fromDesktop = false; // the desktop's schema is installed: GSettings decides
        ProxyReading reading; // its reading when fromDesktop
    };

    // Forks the reader. Does nothing when the process already has a second
    // thread (a fork would copy locks other threads may hold) or when the
    // fork fails; take() then has no result.
    static void start();

    // The child's answer, waiting for it up to `timeoutMs`; nullopt when none
    // was started, it failed or it did not answer in time (the caller then
    // reads itself). Given once: a second call has no result.
    static std::optional<Result> take(int timeoutMs = 2000);

    // The child's part: reads and writes the answer to `fd`. Public for tests.
    static void readInto(int fd);
    // The parent's part: the answer from `fd` until its end, or nullopt.
    static std::optional<Result> parse(int fd, int timeoutMs);

private:
    static inline pid_t s_child = -1;
    static inline int s_fd = -1;
};

} // namespace tarnwick::linuxnet
