#include "shortcuts/DesktopFiles.h"

#include "base/AtomicFile.h"
#include "base/Spawn.h"

#include <cstdlib>
#include <pwd.h>
#include <system_error>
#include <unistd.h>

namespace tarnwick
{

namespace fs = std::filesystem;

namespace
{

std::string environment(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

std::string homeFolder()
{
    if (std::string home = environment("HOME"); !home.empty())
        return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return {};
}

// An XDG variable counts only when it holds an absolute path; else the fallback.
fs::path xdgFolder(const char* variable, const std::string& home, const char* fallback)
{
    const std::string v = environment(variable);
    if (!v.empty() && v.front() == '/')
        return v;
    return fs::path(home) / fallback;
}

} // namespace

DesktopPaths currentDesktopPaths()
{
    const std::string home = homeFolder();
    DesktopPaths paths;
    paths.dataHome = xdgFolder("XDG_DATA_HOME", home, ".local/share");
    paths.configHome = xdgFolder("XDG_CONFIG_HOME", home, ".config");
    if (home.empty() || home.front() != '/')
        return paths;
    std::string userDirs;
    try {
        userDirs = readWholeFile(paths.configHome / "user-dirs.dirs");
    } catch (const std::system_error&) {
    }
    paths.desktop = desktopFromUserDirs(userDirs, home).value_or(fs::path(home) / "Desktop");
    return paths;
}

ToolRunner systemTools()
{
    return [](const std::vector<std::string>& argv) {
        for (const char* dir : { "/usr/bin", "/usr/sbin", "/bin", "/usr/local/bin" }) {
            const std::string path = std::string(dir) + "/" + argv.at(0);
            if (::access(path.c_str(), X_OK) != 0)
                continue;
            try {
                waitForExit(spawnProgram(path, argv, ChildStreams {}));
            } catch (const std::system_error&) {
            }
            return;
        }
    };
}

} // namespace tarnwick
