#pragma once

#include "base/RegistryStore.h"
#include "base/Version.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The desktop side of quick-switching on a freedesktop desktop: the program
// launcher on the desktop, and the `.twk` file type (shared-mime-info, a
// desktop entry, the default application), plus the registry store's view
// of the file type for the Windows back end.
namespace tarnwick
{

// This user's freedesktop folders.
struct DesktopPaths {
    std::optional<std::filesystem::path> desktop; // none when no home folder is known
    std::filesystem::path dataHome; // $XDG_DATA_HOME, else ~/.local/share
    std::filesystem::path configHome; // $XDG_CONFIG_HOME, else ~/.config
};

// From the environment: XDG_DESKTOP_DIR of $XDG_CONFIG_HOME/user-dirs.dirs
// (with $HOME expanded), else ~/Desktop.
DesktopPaths currentDesktopPaths();

// The desktop folder named by a user-dirs.dirs text, or nothing; pure.
std::optional<std::filesystem::path> desktopFromUserDirs(std::string_view userDirs, const std::string& home);

// `text` quoted as one argument of a desktop entry's Exec key.
std::string execArgument(std::string_view text);

// The launcher name the window's box always passes.
inline constexpr std::string_view kLauncherName = "Tarnwick";
// Its comment: the three lines of the program's description, the last with
// the version the program reports everywhere.
inline constexpr std::string_view kLauncherDescription
    = "Tarnwick\r\n    切换IP工具的好工具\r\n    版本：V" TARNWICK_VERSION;

// "<name>.desktop" in the desktop folder, starting `executable` in its own
// folder, made executable so desktops start it. Throws std::system_error.
void createLauncher(const std::filesystem::path& desktop, const std::string& executable,
    std::string_view name, std::string_view description);
// True when the launcher was there and is gone now.
bool deleteLauncher(const std::filesystem::path& desktop, std::string_view name);

// The five HKEY_CLASSES_ROOT keys of the file type, each written only when
// its value differs. Stops at the first key that cannot be written.
void registerFileTypeKeys(RegistryStore& store, const std::string& executable);

// Runs a program of the system (no shell), waiting for it; argv[0] is a
// bare name looked up in the system's program folders.
using ToolRunner = std::function<void(const std::vector<std::string>& argv)>;
ToolRunner systemTools();

// The MIME type of quick-switch files.
inline constexpr std::string_view kQuickSwitchMimeType = "application/x-tarnwick-quickswitch";

// The file type for the desktop: the MIME type (glob and root element), the
// program's desktop entry that opens it, the program as its default, the
// icon. Writes only what differs, and updates a database only when its files
// changed, so an ordinary start writes nothing. Returns the files written.
// Throws std::system_error.
std::vector<std::filesystem::path> registerQuickSwitchType(const DesktopPaths& paths,
    const std::string& executable, std::string_view iconPng, const ToolRunner& runTool);

} // namespace tarnwick
