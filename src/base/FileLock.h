#pragma once

#include <filesystem>

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
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool held() const { return m_fd >= 0; }
    void unlock();

private:
    int m_fd = -1;
};

// The lock file that guards `file`'s read-change-write: a hidden file beside it.
std::filesystem::path lockFileBeside(const std::filesystem::path& file);

} // namespace tarnwick
