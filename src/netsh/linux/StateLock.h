#pragma once

#include <filesystem>

namespace tarnwick::netsh
{

// Serialises the netsh runs (and DHCP client hooks) of one network namespace:
// an exclusive flock on a file in the namespace's state folder, held while the
// object lives. Throws std::system_error.
class StateLock
{
public:
    explicit StateLock(const std::filesystem::path& dir);
    ~StateLock();
    StateLock(const StateLock&) = delete;
    StateLock& operator=(const StateLock&) = delete;

    void unlock();

private:
    int m_fd = -1;
};

} // namespace tarnwick::netsh
