#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace tarnwick
{

// Where a child's standard streams go; -1 for /dev/null.
struct ChildStreams {
    int in = -1;
    int out = -1;
    int err = -1;
};

// Starts the program at `path` with `argv` (argv[0] its name), no shell in
// between, in this process's environment. The child starts with every signal
// at its default and none blocked: a worker thread may block signals, and
// ignored signals would survive the exec. Returns its pid; throws
// std::system_error naming the program when it cannot be started.
pid_t spawnProgram(
    const std::string& path, const std::vector<std::string>& argv, const ChildStreams& streams);

// Waits for the child to end; its exit status, -1 when a signal ended it.
int waitForExit(pid_t pid);

} // namespace tarnwick
