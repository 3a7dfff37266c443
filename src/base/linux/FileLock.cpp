#include "base/FileLock.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <system_error>
#include <unistd.h>

namespace tarnwick
{

FileLock::FileLock(const std::filesystem::path& lockFile, Mode mode)
{
    // Never through a symbolic link: a lock file is ours to make, not a way
    // to open whatever file someone pointed it at.
    m_fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_fd < 0)
        throw std::system_error(
            errno, std::generic_category(), "cannot open the lock file " + lockFile.string());
    const int operation = mode == Mode::Try ? LOCK_EX | LOCK_NB : LOCK_EX;
    while (::flock(m_fd, operation) != 0) {
        if (errno == EINTR)
            continue;
        const int err = errno;
        ::close(m_fd);
        m_fd = -1;
        if (err == EWOULDBLOCK && mode == Mode::Try)
            return;
        throw std::system_error(err, std::generic_category(), "cannot lock " + lockFile.string());
    }
}

FileLock::~FileLock()
{
    unlock();
}

void FileLock::unlock()
{
    // Closing the descriptor releases the lock.
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

std::filesystem::path lockFileBeside(const std::filesystem::path& file)
{
    return file.parent_path() / ("." + file.filename().string() + ".lock");
}

} // namespace tarnwick
