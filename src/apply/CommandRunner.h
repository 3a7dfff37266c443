#pragma once

#include "apply/RunWindowsExe.h"

#include <string>
#include <vector>

namespace tarnwick
{

// What the apply sequence runs its command lines through, so it can be
// driven by a substitute that returns prepared output.
class CommandRunner
{
public:
    virtual ~CommandRunner() = default;
    // Output chunks as RunWindowsExe returns them, and the exit status;
    // throws when the command cannot be started.
    virtual CommandOutput run(const std::string& commandLine) = 0;
};

// The real one: RunWindowsExe with fixed options (a limit for the command
// line's apply, none for the window's).
class ProcessCommandRunner : public CommandRunner
{
public:
    explicit ProcessCommandRunner(RunOptions options = {})
        : m_options(std::move(options))
    {
    }
    CommandOutput run(const std::string& commandLine) override
    {
        return runCommandLine(commandLine, m_options);
    }

private:
    RunOptions m_options;
};

} // namespace tarnwick
