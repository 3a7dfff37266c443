#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <utility>

namespace tarnwick::netsh
{

// What a link on the way to the resolver file may be.
enum class Links {
    None, // no link at all
    RootOwned, // the system's own: owned by root, in folders only root may change
};

// The resolver file is reached through something a user other than root
// could change, or is no regular file. Its text is netsh's whole message.
class UnsafeResolverPath : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Owns one descriptor.
class Fd
{
public:
    Fd() = default;
    explicit Fd(int fd)
        : m_fd(fd)
    {
    }
    ~Fd() { reset(); }
    Fd(Fd&& other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
    {
    }
    Fd& operator=(Fd&& other) noexcept
    {
        if (this != &other) {
            reset();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    void reset();

private:
    int m_fd = -1;
};

// The resolver file as found: the folder that holds it, held open, and its
// name there. Every later step goes through `folder`, never the path again.
struct CheckedResolverPath {
    Fd folder; // O_PATH
    std::string name;
    bool exists = false;
    struct stat st {
    }; // when it exists
    std::string shown; // where it is, for messages
};

// Walks `path` from `root` ("/" for netsh; a test's tree else: absolute link
// targets stay inside it) one name at a time, following no link the kernel
// would follow by itself. `root`, every folder on the way, every link taken
// and the file itself must be owned by root and not writable by group or
// others (a sticky bit does not make a folder safe); the file must be a
// regular file or missing. Throws UnsafeResolverPath when they are not,
// std::system_error when the walk fails.
CheckedResolverPath checkResolverPath(
    const std::filesystem::path& root, const std::string& path, Links links);

// One name in `folder`, opened without following a link there (openat2 where
// the kernel has it, else openat with O_NOFOLLOW). -1 and errno on failure.
int openInFolder(int folder, const std::string& name, int flags, unsigned mode = 0);

} // namespace tarnwick::netsh
