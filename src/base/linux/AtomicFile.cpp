#include "base/AtomicFile.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace tarnwick
{
namespace
{

[[noreturn]] void fail(const std::string& what, const std::filesystem::path& path, int err)
{
    throw std::system_error(err, std::generic_category(), what + " " + path.string());
}

void writeAll(int fd, std::string_view bytes, const std::filesystem::path& path)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail("cannot write", path, errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

} // namespace

void writeFileAtomically(
    const std::filesystem::path& path, std::string_view bytes, unsigned mode, FileAccess access)
{
    const std::filesystem::path dir = path.has_parent_path() ? path.parent_path() : ".";
    std::string tmpl = (dir / ("." + path.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(tmpl.data());
    if (fd < 0)
        fail("cannot create a temporary file beside", path, errno);

    struct stat st {
    };
    mode_t wanted = (::stat(path.c_str(), &st) == 0) ? (st.st_mode & 07777) : static_cast<mode_t>(mode);
    if (access == FileAccess::Private)
        wanted = 0600;
    try {
        // mkstemp made it 0600: it stays so while the bytes go in, and gets
        // its final mode only once complete.
        writeAll(fd, bytes, tmpl);
        if (::fsync(fd) != 0)
            fail("cannot flush", tmpl, errno);
        if (::fchmod(fd, wanted) != 0)
            fail("cannot set the mode of", tmpl, errno);
    } catch (...) {
        ::close(fd);
        ::unlink(tmpl.c_str());
        throw;
    }
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(tmpl.c_str());
        fail("cannot close", tmpl, err);
    }
    if (::rename(tmpl.c_str(), path.c_str()) != 0) {
        const int err = errno;
        ::unlink(tmpl.c_str());
        fail("cannot replace", path, err);
    }
    // Make the rename itself durable.
    const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

void removeLeftoverTemporaries(const std::filesystem::path& path)
{
    const std::filesystem::path dir = path.has_parent_path() ? path.parent_path() : ".";
    const std::string prefix = "." + path.filename().string() + ".";
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        const std::string name = entry.path().filename().string();
        // mkstemp's six characters after our prefix, and nothing else.
        if (name.size() == prefix.size() + 6 && name.starts_with(prefix) && entry.is_regular_file(ec))
            std::filesystem::remove(entry.path(), ec);
    }
}

std::string readWholeFile(const std::filesystem::path& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        fail("cannot open", path, errno);
    std::string out;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            ::close(fd);
            fail("cannot read", path, err);
        }
        if (n == 0)
            break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return out;
}

} // namespace tarnwick
