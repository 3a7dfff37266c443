#pragma once

#include <chrono>
#include <filesystem>
#include <utility>

namespace tarnwick
{

// An exclusive advisory lock on a lock file, held from construction until
// destruction or unlock(); the system drops it when the process ends, however
// it ends. The lock file is created (mode 0600) when missing and left in place
// afterwards: removing it would let two holders lock two different files.
// Throws std::system_error when the file cannot be opened or locked.
class FileLock
{
public:
    enum class Mode {
        Wait, // wait while another process holds the lock
        Try, // do not wait: held() tells whether the lock was free
    };

    explicit FileLock(const std::filesystem::path& lockFile, Mode mode = Mode::Wait);
    // Waits at most `limit`: held() is false when another process still held
    // the lock then, and holder() names it (0 when it cannot be told).
    FileLock(const std::filesystem::path& lockFile, std::chrono::milliseconds limit);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    FileLock(FileLock&& other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
        , m_holder(other.m_holder)
    {
    }

    bool held() const { return m_fd >= 0; }
    int holder() const { return m_holder; }
    void unlock();

private:
    void open(const std::filesystem::path& lockFile);
    // Takes the lock without waiting; false when another process holds it.
    bool take(const std::filesystem::path& lockFile);

    int m_fd = -1;
    int m_holder = 0;
};

// The lock file that guards `file`'s read-change-write: a hidden file beside it.
std::filesystem::path lockFileBeside(const std::filesystem::path& file);

} // namespace tarnwick
