#include "base/BoundedRead.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace tarnwick
{
namespace
{

class Fd
{
public:
    explicit Fd(int fd)
        : m_fd(fd)
    {
    }
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

[[noreturn]] void fail(const std::string& what, const std::filesystem::path& path, int err)
{
    throw std::system_error(err, std::generic_category(), what + " " + path.string());
}

[[noreturn]] void tooLarge(const std::filesystem::path& path, std::uintmax_t maxBytes)
{
    throw FileRefused(FileRefused::Why::TooLarge,
        path.string() + " is larger than " + std::to_string(maxBytes / 1024) + " KB");
}

[[noreturn]] void notRegular(const std::filesystem::path& path)
{
    throw FileRefused(FileRefused::Why::NotRegular, path.string() + " is not a regular file");
}

} // namespace

std::string readRegularFile(const std::filesystem::path& path, std::uintmax_t maxBytes)
{
    struct stat st {
    };
    const Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0)
        fail("cannot open", path, errno);
    // Judged by what was opened: a name checked first could be swapped.
    if (::fstat(fd.get(), &st) != 0)
        fail("cannot read", path, errno);
    if (!S_ISREG(st.st_mode))
        notRegular(path);
    if (st.st_size > 0 && static_cast<std::uintmax_t>(st.st_size) > maxBytes)
        tooLarge(path, maxBytes);
    std::string out;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail("cannot read", path, errno);
        }
        if (n == 0)
            break;
        if (out.size() + static_cast<std::size_t>(n) > maxBytes)
            tooLarge(path, maxBytes);
        out.append(buf, static_cast<std::size_t>(n));
    }
    return out;
}

} // namespace tarnwick
