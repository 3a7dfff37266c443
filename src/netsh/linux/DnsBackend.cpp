#include "netsh/linux/DnsBackend.h"

#include "netsh/ResolvConf.h"
#include "netsh/linux/Spawn.h"

#include <cerrno>
#include <fcntl.h>
#include <stdexcept>
#include <sys/random.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace tarnwick::netsh
{
namespace
{

[[noreturn]] void fail(const std::string& what, const std::string& path, int err)
{
    throw std::system_error(err, std::generic_category(), what + " " + path);
}

// The file the walk found, opened again by name in its folder, which only
// root may change; still the same file, so nothing was swapped in between.
Fd openChecked(const CheckedResolverPath& file, int flags)
{
    Fd fd(openInFolder(file.folder.get(), file.name, flags | O_NONBLOCK | O_NOCTTY));
    if (!fd)
        fail("cannot open", file.shown, errno);
    struct stat st {
    };
    if (::fstat(fd.get(), &st) != 0)
        fail("cannot read", file.shown, errno);
    if (!S_ISREG(st.st_mode) || st.st_dev != file.st.st_dev || st.st_ino != file.st.st_ino)
        throw UnsafeResolverPath("解析器文件“" + file.shown + "”在检查后被替换，未作任何更改。");
    return fd;
}

std::string readChecked(const CheckedResolverPath& file)
{
    const Fd fd = openChecked(file, O_RDONLY);
    std::string out;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            fail("cannot read", file.shown, errno);
        if (n == 0)
            return out;
        out.append(buf, static_cast<std::size_t>(n));
    }
}

void writeAll(int fd, std::string_view bytes, const std::string& shown)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail("cannot write", shown, errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

void writeInPlace(const CheckedResolverPath& file, const std::string& bytes)
{
    const Fd fd = openChecked(file, O_WRONLY);
    writeAll(fd.get(), bytes, file.shown);
    // Truncate after writing, so a reader never sees an empty file.
    if (::ftruncate(fd.get(), static_cast<off_t>(bytes.size())) != 0)
        fail("cannot write", file.shown, errno);
}

// A file bind-mounted over another (as `ip netns exec` does with the
// resolver file) cannot be replaced by a rename.
bool isMountRoot(const CheckedResolverPath& file)
{
    struct statx stx {
    };
    if (::statx(file.folder.get(), file.name.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS, &stx) != 0)
        return false;
    return (stx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) && (stx.stx_attributes & STATX_ATTR_MOUNT_ROOT);
}

// A fresh file beside the target, in the folder the walk holds open.
std::pair<Fd, std::string> createTemporary(const CheckedResolverPath& file)
{
    static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        unsigned char random[6];
        if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random))
            fail("cannot name a temporary file beside", file.shown, errno);
        std::string name = "." + file.name + ".";
        for (unsigned char c : random)
            name += kChars[c % (sizeof kChars - 1)];
        Fd fd(openInFolder(file.folder.get(), name, O_WRONLY | O_CREAT | O_EXCL, 0600));
        if (fd)
            return { std::move(fd), std::move(name) };
        if (errno != EEXIST)
            fail("cannot create a temporary file beside", file.shown, errno);
    }
    fail("cannot create a temporary file beside", file.shown, EEXIST);
}

// Whole or not at all: the bytes go to a temporary file that is renamed over
// the target. Owned by root whoever started netsh; the old file's mode stays.
// False when the target cannot be renamed over.
bool replaceAtomically(const CheckedResolverPath& file, const std::string& bytes)
{
    auto [fd, tmp] = createTemporary(file);
    const int folder = file.folder.get();
    try {
        writeAll(fd.get(), bytes, file.shown);
        if (::fchown(fd.get(), 0, file.exists ? file.st.st_gid : 0) != 0)
            fail("cannot set the owner of", tmp, errno);
        if (::fchmod(fd.get(), file.exists ? (file.st.st_mode & 0755) : 0644) != 0)
            fail("cannot set the mode of", tmp, errno);
        if (::fsync(fd.get()) != 0)
            fail("cannot flush", tmp, errno);
        fd.reset();
        if (::renameat(folder, tmp.c_str(), folder, file.name.c_str()) != 0) {
            const int err = errno;
            if (err == EBUSY || err == EXDEV) {
                ::unlinkat(folder, tmp.c_str(), 0);
                return false;
            }
            fail("cannot replace", file.shown, err);
        }
    } catch (...) {
        ::unlinkat(folder, tmp.c_str(), 0);
        throw;
    }
    // Make the rename itself durable.
    const Fd dir(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir)
        ::fsync(dir.get());
    return true;
}

bool sameInode(const char* a, const char* b)
{
    struct stat sa {
    }, sb {};
    return ::stat(a, &sa) == 0 && ::stat(b, &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

} // namespace

void ResolvConfBackend::setServers(const std::string& ifname, int, const std::vector<std::string>& servers)
{
    const CheckedResolverPath file = checkResolverPath(m_root, m_path, m_links);
    const std::string current = file.exists ? readChecked(file) : std::string();
    const std::string updated = updateResolvConf(current, ifname, servers);
    if (updated == current)
        return;
    if (file.exists && isMountRoot(file)) {
        writeInPlace(file, updated);
        return;
    }
    if (!replaceAtomically(file, updated))
        writeInPlace(file, updated);
}

namespace
{

void runOrThrow(
    const std::string& program, const std::vector<std::string>& argv, const std::string& input = {})
{
    const int status = runAndWait(argv, input);
    if (status < 0)
        throw std::runtime_error("cannot run " + program);
    if (status != 0)
        throw std::runtime_error(program + " exited with status " + std::to_string(status));
}

} // namespace

void ResolvconfBackend::setServers(const std::string& ifname, int, const std::vector<std::string>& servers)
{
    if (servers.empty()) {
        runOrThrow(m_resolvconf, { m_resolvconf, "-f", "-d", ifname });
        return;
    }
    std::string lines;
    for (const auto& s : servers)
        lines += "nameserver " + s + '\n';
    runOrThrow(m_resolvconf, { m_resolvconf, "-a", ifname }, lines);
}

void ResolvedBackend::setServers(const std::string& ifname, int, const std::vector<std::string>& servers)
{
    std::vector<std::string> argv { m_resolvectl };
    if (servers.empty()) {
        argv.insert(argv.end(), { "revert", ifname });
    } else {
        argv.insert(argv.end(), { "dns", ifname });
        argv.insert(argv.end(), servers.begin(), servers.end());
    }
    runOrThrow(m_resolvectl, argv);
}

std::unique_ptr<DnsBackend> makeDnsBackend()
{
    const bool resolvedRuns = ::access("/run/systemd/resolve/io.systemd.Resolve", F_OK) == 0;
    const bool firstNamespace = sameInode("/proc/self/ns/net", "/proc/1/ns/net");
    std::string resolvectl = resolvedRuns && firstNamespace ? findProgram("resolvectl") : std::string();
    if (!resolvectl.empty())
        return std::make_unique<ResolvedBackend>(std::move(resolvectl));
    if (firstNamespace) {
        // systemd's stand-in of that name speaks to resolved, which does not run.
        std::string resolvconf = findProgram("resolvconf");
        std::error_code ec;
        if (!resolvconf.empty() && std::filesystem::canonical(resolvconf, ec).filename() != "resolvectl")
            return std::make_unique<ResolvconfBackend>(std::move(resolvconf));
    }
    return std::make_unique<ResolvConfBackend>("/", "/etc/resolv.conf", Links::RootOwned);
}

} // namespace tarnwick::netsh
