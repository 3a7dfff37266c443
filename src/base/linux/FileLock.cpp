#include "base/FileLock.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace tarnwick
{

namespace
{

// The process holding an flock on the file behind `fd`, as the kernel lists
// it in /proc/locks ("1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF").
int flockHolder(int fd)
{
    struct stat st {
    };
    if (::fstat(fd, &st) != 0)
        return 0;
    FILE* locks = std::fopen("/proc/locks", "re");
    if (!locks)
        return 0;
    int holder = 0;
    char line[256];
    while (holder == 0 && std::fgets(line, sizeof line, locks)) {
        char type[16] = {}, kind[16] = {};
        int pid = 0;
        unsigned major = 0, minor = 0;
        unsigned long inode = 0;
        // "->" marks a waiter, which the format below does not match.
        if (std::sscanf(line, "%*d: %15s %*s %15s %d %x:%x:%lu", type, kind, &pid, &major, &minor, &inode)
                == 6
            && std::string(type) == "FLOCK" && std::string(kind) == "WRITE" && inode == st.st_ino
            && major == ::major(st.st_dev) && minor == ::minor(st.st_dev))
            holder = pid;
    }
    std::fclose(locks);
    return holder;
}

} // namespace

FileLock::FileLock(const std::filesystem::path& lockFile, Mode mode)
{
    open(lockFile);
    if (mode == Mode::Try) {
        if (!take(lockFile))
            unlock();
        return;
    }
    while (::flock(m_fd, LOCK_EX) != 0) {
        if (errno == EINTR)
            continue;
        const int err = errno;
        unlock();
        throw std::system_error(err, std::generic_category(), "cannot lock " + lockFile.string());
    }
}

FileLock::FileLock(const std::filesystem::path& lockFile, std::chrono::milliseconds limit)
{
    using namespace std::chrono;
    open(lockFile);
    const auto deadline = steady_clock::now() + limit;
    auto pause = milliseconds(2);
    while (!take(lockFile)) {
        const auto now = steady_clock::now();
        if (now >= deadline) {
            m_holder = flockHolder(m_fd);
            unlock();
            return;
        }
        std::this_thread::sleep_for(std::min<steady_clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, milliseconds(50));
    }
}

FileLock::~FileLock()
{
    unlock();
}

void FileLock::open(const std::filesystem::path& lockFile)
{
    // Never through a symbolic link: a lock file is ours to make, not a way
    // to open whatever file someone pointed it at.
    m_fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_fd < 0)
        throw std::system_error(
            errno, std::generic_category(), "cannot open the lock file " + lockFile.string());
}

bool FileLock::take(const std::filesystem::path& lockFile)
{
    while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        const int err = errno;
        if (err == EWOULDBLOCK)
            return false;
        unlock();
        throw std::system_error(err, std::generic_category(), "cannot lock " + lockFile.string());
    }
    return true;
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
