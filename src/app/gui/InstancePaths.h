#pragma once

#include <filesystem>

namespace tarnwick::gui
{

// Where this user's lock file and hand-over socket live: $TARNWICK_HOME when
// set (tests and labs get their own instance), else $XDG_RUNTIME_DIR, else a
// per-user name in the temporary folder.
struct InstancePaths {
    std::filesystem::path lockFile;
    std::filesystem::path socket;
};
InstancePaths instancePaths();

} // namespace tarnwick::gui
