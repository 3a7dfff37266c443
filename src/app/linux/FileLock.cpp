#include "app/FileLock.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <system_error>
#include <unistd.h>

namespace tarnwick
{

FileLock::FileLock(const std::filesystem::path& lockFile)
{
    m_fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0)
        throw std::system_error(
            errno, std::generic_category(), "cannot open the lock file " + lockFile.string());
    while (::flock(m_fd, LOCK_EX) != 0) {
        if (errno == EINTR)
            continue;
        const int err = errno;
        ::close(m_fd);
        throw std::system_error(err, std::generic_category(), "cannot lock " + lockFile.string());
    }
}

FileLock::~FileLock()
{
    // Closing the descriptor releases the lock.
    ::close(m_fd);
}

} // namespace tarnwick
