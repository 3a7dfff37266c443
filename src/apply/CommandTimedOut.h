#pragma once

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarnwick
{

// The child ran past the caller's limit and was killed; what it wrote until
// then is kept for the log.
class CommandTimedOut : public std::runtime_error
{
public:
    CommandTimedOut(
        const std::string& program, std::chrono::milliseconds limit, std::vector<std::string> output)
        : std::runtime_error(
            program + " did not end within " + std::to_string(limit.count()) + " ms and was stopped")
        , m_output(std::move(output))
    {
    }
    const std::vector<std::string>& output() const { return m_output; }

private:
    std::vector<std::string> m_output;
};

} // namespace tarnwick
