#pragma once

#include <map>
#include <string>
#include <vector>

namespace tarnwick::test
{

struct ProcessResult {
    int exitCode = -1; // -1 when killed by a signal
    std::string out;
    std::string err;
};

// Runs a program (no shell) and collects its stdout and stderr apart.
// `env` entries are added to (or replace) the test's own environment.
ProcessResult runProcess(const std::vector<std::string>& argv,
    const std::map<std::string, std::string>& env = {}, const std::string& workDir = {});

// Path of a program built into <build>/bin.
std::string binPath(const std::string& name);

} // namespace tarnwick::test
