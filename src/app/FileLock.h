#pragma once

#include <filesystem>

namespace tarnwick
{

// An exclusive advisory lock on a lock file, held from construction until
// destruction; other processes taking the same lock wait. The lock file is
// created (mode 0600) when missing and left in place afterwards: removing it
// would let two writers lock two different files. Throws std::system_error.
class FileLock
{
public:
    explicit FileLock(const std::filesystem::path& lockFile);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int m_fd = -1;
};

} // namespace tarnwick
