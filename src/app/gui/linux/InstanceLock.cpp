#include "app/gui/InstanceLock.h"

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>

namespace tarnwick::gui
{

InstanceLock::InstanceLock(const std::filesystem::path& lockFile)
{
    std::error_code ec;
    std::filesystem::create_directories(lockFile.parent_path(), ec);
    const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return;
    }
    m_fd = fd;
}

InstanceLock::~InstanceLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

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
