#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tarnwick::test
{

struct ProcessResult {
    int exitCode = -1; // -1 when killed by a signal
    bool timedOut = false; // killed for running past its time
    std::string out;
    std::string err;
};

// Runs a program (no shell) and collects its stdout and stderr apart.
// `env` entries are added to (or replace) the test's own environment.
ProcessResult runProcess(const std::vector<std::string>& argv,
    const std::map<std::string, std::string>& env = {}, const std::string& workDir = {});

// The same, killed (SIGKILL) should it run longer than `limit`, and held to
// 1 GiB of data: for programs a fault would make wait, or read, for ever, so
// the test still ends.
ProcessResult runProcessWithin(const std::vector<std::string>& argv, std::chrono::milliseconds limit,
    const std::map<std::string, std::string>& env = {});

// Runs `body` in a forked copy of the test and returns what it returns as
// the copy's exit status; -1 when the copy was killed, as it is (SIGALRM)
// when it runs past `limit` or (out of memory) grows past 1 GiB of data.
// For calls a fault would make wait, or read, for ever.
int runForkedWithin(const std::function<int()>& body, std::chrono::seconds limit);

// The test's environment with `extra` added or replaced, as "NAME=value".
std::vector<std::string> environmentWith(const std::map<std::string, std::string>& extra);

// Path of a program built into <build>/bin.
std::string binPath(const std::string& name);

} // namespace tarnwick::test
