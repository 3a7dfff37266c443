#include "netsh/linux/DnsBackend.h"

#include "base/AtomicFile.h"
#include "netsh/ResolvConf.h"
#include "netsh/linux/Spawn.h"

#include <cerrno>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace tarnwick::netsh
{
namespace
{

void writeInPlace(const std::filesystem::path& path, const std::string& bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        throw std::system_error(errno, std::generic_category(), "cannot open " + path.string());
    std::string_view rest = bytes;
    while (!rest.empty()) {
        const ssize_t n = ::write(fd, rest.data(), rest.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            ::close(fd);
            throw std::system_error(err, std::generic_category(), "cannot write " + path.string());
        }
        rest.remove_prefix(static_cast<std::size_t>(n));
    }
    // Truncate after writing, so a reader never sees an empty file.
    const int truncated = ::ftruncate(fd, static_cast<off_t>(bytes.size()));
    const int err = errno;
    ::close(fd);
    if (truncated != 0)
        throw std::system_error(err, std::generic_category(), "cannot write " + path.string());
}

// A file bind-mounted over another (as `ip netns exec` does with the
// resolver file) cannot be replaced by a rename.
bool isMountRoot(const std::filesystem::path& path)
{
    struct statx stx {
    };
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS, &stx) != 0)
        return false;
    return (stx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) && (stx.stx_attributes & STATX_ATTR_MOUNT_ROOT);
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
    std::error_code ec;
    // A symbolic link (to a generated file) is followed, so the link stays.
    std::filesystem::path target = std::filesystem::canonical(m_path, ec);
    if (ec)
        target = m_path;
    std::string current;
    try {
        current = readWholeFile(target);
    } catch (const std::system_error& e) {
        if (e.code() != std::errc::no_such_file_or_directory)
            throw;
    }
    const std::string updated = updateResolvConf(current, ifname, servers);
    if (updated == current)
        return;
    if (isMountRoot(target)) {
        writeInPlace(target, updated);
        return;
    }
    try {
        writeFileAtomically(target, updated, 0644);
    } catch (const std::system_error& e) {
        if (e.code() != std::errc::device_or_resource_busy && e.code() != std::errc::cross_device_link)
            throw;
        writeInPlace(target, updated);
    }
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
    return std::make_unique<ResolvConfBackend>("/etc/resolv.conf");
}

} // namespace tarnwick::netsh
