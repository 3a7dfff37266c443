#include "dialup/linux/PppdProcesses.h"

#include "base/AtomicFile.h"
#include "dialup/linux/PppdFiles.h"

#include <algorithm>
#include <dirent.h>
#include <string>
#include <system_error>

namespace tarnwick
{

namespace fs = std::filesystem;

namespace
{

std::string readOrEmpty(const fs::path& path)
{
    try {
        return readWholeFile(path);
    } catch (const std::system_error&) {
        return {};
    }
}

// The arguments of a live process of the program `pppd`, or nothing for
// another process (or one this user may not look into).
std::optional<std::vector<std::string>> pppdArguments(const std::string& pid, const fs::path& pppd)
{
    const std::string comm = readOrEmpty("/proc/" + pid + "/comm");
    if (comm != "pppd\n")
        return std::nullopt;
    std::error_code ec;
    if (fs::read_symlink("/proc/" + pid + "/exe", ec) != pppd)
        return std::nullopt;
    const std::string stat = readOrEmpty("/proc/" + pid + "/stat");
    if (const auto close = stat.rfind(')');
        close == std::string::npos || close + 2 >= stat.size() || stat[close + 2] == 'Z')
        return std::nullopt;
    std::vector<std::string> args;
    std::string cmdline = readOrEmpty("/proc/" + pid + "/cmdline");
    std::size_t at = 0;
    while (at < cmdline.size()) {
        const std::size_t end = cmdline.find('\0', at);
        args.push_back(cmdline.substr(at, end - at));
        at = end == std::string::npos ? cmdline.size() : end + 1;
    }
    return args;
}

} // namespace

std::optional<std::vector<DialBackend::Connection>> pppdConnections(
    const fs::path& pppd, const fs::path& runDir)
{
    DIR* dir = ::opendir("/proc");
    if (!dir)
        return std::nullopt;
    std::error_code ec;
    const fs::path program = fs::canonical(pppd, ec);
    std::vector<DialBackend::Connection> out;
    while (const dirent* e = ::readdir(dir)) {
        const std::string pid = e->d_name;
        if (pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const auto args = pppdArguments(pid, program);
        if (!args)
            continue;
        DialBackend::Connection c;
        c.handle = std::stoi(pid);
        for (std::size_t i = 1; i + 1 < args->size(); ++i) {
            if ((*args)[i] == "call" || (*args)[i] == "linkname")
                c.entry = (*args)[i + 1];
        }
        // pppd's linkname file: its pid, then the interface once the link is up.
        const auto pidFile = pppdfiles::lines(readOrEmpty(runDir / ("ppp-" + c.entry + ".pid")));
        if (!c.entry.empty() && pidFile.size() >= 2 && pidFile[0] == pid) {
            c.device = pidFile[1];
            c.connected = true;
        }
        out.push_back(c);
    }
    ::closedir(dir);
    std::sort(out.begin(), out.end(), [](const DialBackend::Connection& a, const DialBackend::Connection& b) {
        return a.handle < b.handle;
    });
    return out;
}

} // namespace tarnwick
