#pragma once

#include <filesystem>

namespace tarnwick::gui
{

// The single-instance guard: a per-user lock file held for the life of the
// process. The system drops the lock when the process ends, however it ends,
// so a crashed instance never blocks the next start.
class InstanceLock
{
public:
    // Tries to take the lock; held() says whether it was free.
    explicit InstanceLock(const std::filesystem::path& lockFile);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// Where this user's lock file and hand-over socket live: $TARNWICK_HOME when
// set (tests and labs get their own instance), else $XDG_RUNTIME_DIR, else a
// per-user name in the temporary folder.
struct InstancePaths {
    std::filesystem::path lockFile;
    std::filesystem::path socket;
};
InstancePaths instancePaths();

} // namespace tarnwick::gui
