#include "app/gui/InstancePaths.h"

#include <cstdlib>
#include <string>
#include <unistd.h>

namespace tarnwick::gui
{

InstancePaths instancePaths()
{
    const char* home = std::getenv("TARNWICK_HOME");
    if (home && *home) {
        const std::filesystem::path dir(home);
        return { dir / "tarnwick.lock", dir / "tarnwick.sock" };
    }
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime && std::filesystem::path(runtime).is_absolute()) {
        const std::filesystem::path dir(runtime);
        return { dir / "tarnwick.lock", dir / "tarnwick.sock" };
    }
    const std::string base = "tarnwick-" + std::to_string(::getuid());
    const std::filesystem::path tmp = std::filesystem::temp_directory_path();
    return { tmp / (base + ".lock"), tmp / (base + ".sock") };
}

} // namespace tarnwick::gui
