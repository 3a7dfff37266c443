#include "netsh/linux/Spawn.h"

#include "base/Spawn.h"

#include <climits>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace tarnwick::netsh
{

std::string findProgram(const std::string& name)
{
    for (const char* dir :
        { "/usr/sbin", "/usr/bin", "/sbin", "/bin", "/usr/local/sbin", "/usr/local/bin" }) {
        const std::string path = std::string(dir) + "/" + name;
        if (::access(path.c_str(), X_OK) == 0)
            return path;
    }
    return {};
}

int runAndWait(const std::vector<std::string>& argv, const std::string& input)
{
    const std::string path = argv.at(0).starts_with('/') ? argv.at(0) : findProgram(argv.at(0));
    if (path.empty())
        return -1;
    ChildStreams streams;
    int pipeFds[2] = { -1, -1 };
    if (!input.empty()) {
        // Written whole before the child starts: it fits the pipe, and a child
        // that never reads cannot end this program with SIGPIPE.
        if (input.size() > PIPE_BUF * 8 || ::pipe2(pipeFds, O_CLOEXEC) != 0)
            return -1;
        const bool written
            = ::write(pipeFds[1], input.data(), input.size()) == static_cast<ssize_t>(input.size());
        ::close(pipeFds[1]);
        if (!written) {
            ::close(pipeFds[0]);
            return -1;
        }
        streams.in = pipeFds[0];
    }
    int status = -1;
    try {
        status = waitForExit(spawnProgram(path, argv, streams));
    } catch (const std::system_error&) {
    }
    if (pipeFds[0] >= 0)
        ::close(pipeFds[0]);
    return status;
}

} // namespace tarnwick::netsh
