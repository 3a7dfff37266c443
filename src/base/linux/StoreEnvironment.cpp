#include "base/StorePaths.h"

#include <cstdlib>
#include <unistd.h>

namespace tarnwick
{
namespace
{

std::optional<std::string> env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
}

} // namespace

StoreEnvironment StoreEnvironment::current()
{
    StoreEnvironment e;
    e.tarnwickHome = env("TARNWICK_HOME");
    e.xdgConfigHome = env("XDG_CONFIG_HOME");
    e.home = env("HOME");
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        e.executableDir = exe.parent_path();
        e.executableDirWritable = ::access(e.executableDir.c_str(), W_OK) == 0;
    }
    return e;
}

} // namespace tarnwick
