#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace tarnwick
{

// What the store locations depend on, gathered so the rules can be tested
// without touching the real environment.
struct StoreEnvironment {
    std::optional<std::string> tarnwickHome; // $TARNWICK_HOME
    std::optional<std::string> xdgConfigHome; // $XDG_CONFIG_HOME
    std::optional<std::string> home; // $HOME
    std::filesystem::path executableDir; // folder of the running program
    bool executableDirWritable = false;

    // The process's own environment and executable.
    static StoreEnvironment current();
};

// $XDG_CONFIG_HOME/tarnwick, with the XDG default ~/.config when it is unset,
// empty or not absolute.
std::filesystem::path tarnwickConfigDir(const StoreEnvironment& env);

// The registry store folder: $TARNWICK_HOME/registry when TARNWICK_HOME is set
// (and not empty), else <config dir>/registry.
std::filesystem::path registryFolder(const StoreEnvironment& env);

// The settings' own folder: $TARNWICK_HOME when set (and not empty), else the
// config dir. A relative "ConfigFile" is taken from here.
std::filesystem::path settingsFolder(const StoreEnvironment& env);

// "ConfigFile" as a path: a relative one is taken from `folder` (never from
// the working folder, which differs with every way the program is started);
// an absolute one, "null", or any path when `folder` is empty, stays as it is.
std::string resolveConfigFile(const std::string& stored, const std::filesystem::path& folder);

// "config.ini": $TARNWICK_HOME/config.ini when TARNWICK_HOME is set; else
// beside the executable when that folder is writable (the portable layout);
// else <config dir>/config.ini.
std::filesystem::path configIniPath(const StoreEnvironment& env);

// Creates the folder and its missing parents with mode 0700 (existing
// folders keep theirs). Throws std::system_error.
void makePrivateFolder(const std::filesystem::path& folder);

} // namespace tarnwick
