#include "netsh/linux/StateLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <system_error>
#include <unistd.h>

namespace tarnwick::netsh
{

StateLock::StateLock(const std::filesystem::path& dir)
{
    std::filesystem::create_directories(dir);
    const auto path = dir / "lock";
    m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0)
        throw std::system_error(errno, std::generic_category(), "cannot open " + path.string());
    while (::flock(m_fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            const int err = errno;
            ::close(m_fd);
            throw std::system_error(err, std::generic_category(), "cannot lock " + path.string());
        }
    }
}

StateLock::~StateLock()
{
    unlock();
}

void StateLock::unlock()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

} // namespace tarnwick::netsh
