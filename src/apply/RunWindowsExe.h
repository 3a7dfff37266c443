#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick
{

struct RunOptions {
    // Unbounded by default; when set, a child still running at the limit is
    // killed and reaped, and CommandTimedOut is thrown.
    std::optional<std::chrono::milliseconds> limit;
    // Where a program named without a folder is looked for: this folder,
    // then ../libexec/tarnwick beside it (the installed layout); never PATH.
    // Empty means the folder of the running executable.
    std::filesystem::path programDir;
};

// Runs one command line as a child process (no shell: the line is split by
// splitCommandLine) with stdout and stderr on one pipe, and returns what it
// wrote as chunks, one per read that returned bytes (at most kReadSize each),
// each cut at its first NUL. Returns once the child has ended and the pipe
// holds nothing more. A program that cannot be found or started, and a pipe
// that cannot be made or read, throw std::system_error with the system's code.
std::vector<std::string> RunWindowsExe(const std::string& commandLine, const RunOptions& options = {});

// The same run with the child's exit status too, which the apply uses to tell
// a refused command from one that did all it said.
struct CommandOutput {
    std::vector<std::string> chunks;
    int exitStatus = 0; // -1 when a signal ended the child
};
CommandOutput runCommandLine(const std::string& commandLine, const RunOptions& options = {});

inline constexpr std::size_t kReadSize = 132225;

} // namespace tarnwick
