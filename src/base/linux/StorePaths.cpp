#include "base/StorePaths.h"

#include <cerrno>
#include <sys/stat.h>
#include <system_error>

namespace tarnwick
{
namespace
{

bool usable(const std::optional<std::string>& value)
{
    return value && !value->empty();
}

} // namespace

std::filesystem::path tarnwickConfigDir(const StoreEnvironment& env)
{
    // XDG: a relative XDG_CONFIG_HOME is invalid and must be ignored.
    if (usable(env.xdgConfigHome) && std::filesystem::path(*env.xdgConfigHome).is_absolute())
        return std::filesystem::path(*env.xdgConfigHome) / "tarnwick";
    const std::filesystem::path home = usable(env.home) ? std::filesystem::path(*env.home) : "/";
    return home / ".config" / "tarnwick";
}

std::filesystem::path registryFolder(const StoreEnvironment& env)
{
    if (usable(env.tarnwickHome))
        return std::filesystem::path(*env.tarnwickHome) / "registry";
    return tarnwickConfigDir(env) / "registry";
}

std::filesystem::path settingsFolder(const StoreEnvironment& env)
{
    if (usable(env.tarnwickHome))
        return std::filesystem::path(*env.tarnwickHome);
    return tarnwickConfigDir(env);
}

std::string resolveConfigFile(const std::string& stored, const std::filesystem::path& folder)
{
    const std::filesystem::path p(stored);
    if (stored.empty() || stored == "null" || folder.empty() || p.is_absolute())
        return stored;
    return (folder / p).lexically_normal().string();
}

std::filesystem::path configIniPath(const StoreEnvironment& env)
{
    if (usable(env.tarnwickHome))
        return std::filesystem::path(*env.tarnwickHome) / "config.ini";
    if (!env.executableDir.empty() && env.executableDirWritable)
        return env.executableDir / "config.ini";
    return tarnwickConfigDir(env) / "config.ini";
}

void makePrivateFolder(const std::filesystem::path& folder)
{
    if (folder.empty() || std::filesystem::is_directory(folder))
        return;
    if (folder.has_parent_path() && folder.parent_path() != folder)
        makePrivateFolder(folder.parent_path());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        throw std::system_error(
            errno, std::generic_category(), "cannot create the folder " + folder.string());
}

} // namespace tarnwick
