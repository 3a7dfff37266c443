#include "netsh/linux/Spawn.h"

#include "base/Spawn.h"

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

int runAndWait(const std::vector<std::string>& argv)
{
    const std::string path = argv.at(0).starts_with('/') ? argv.at(0) : findProgram(argv.at(0));
    if (path.empty())
        return -1;
    try {
        return waitForExit(spawnProgram(path, argv, ChildStreams {}));
    } catch (const std::system_error&) {
        return -1;
    }
}

} // namespace tarnwick::netsh
