#include "adapters/linux/ProxyPrefetch.h"

#include "adapters/linux/GSettingsProxySource.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace tarnwick::linuxnet
{

namespace
{

int threadCount()
{
    DIR* dir = ::opendir("/proc/self/task");
    if (!dir)
        return -1;
    int n = 0;
    while (const dirent* e = ::readdir(dir)) {
        if (e->d_name[0] != '.')
            ++n;
    }
    ::closedir(dir);
    return n;
}

void writeAll(int fd, const std::string& data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

} // namespace

void ProxyPrefetch::readInto(int fd)
{
    // "1" and the switch and the server for GSettings; "0" where the desktop
    // has no proxy schema.
    std::string answer = "0";
    if (GSettingsProxySource::available()) {
        const ProxyReading r = GSettingsProxySource().read();
        answer = std::string("1") + (r.enabled ? "1" : "0") + r.server;
    }
    writeAll(fd, answer);
}

std::optional<ProxyPrefetch::Result> ProxyPrefetch::parse(int fd, int timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string data;
    char buf[512];
    for (;;) {
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return std::nullopt;
        pollfd p { fd, POLLIN, 0 };
        const int ready = ::poll(&p, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return std::nullopt;
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        data.append(buf, static_cast<std::size_t>(n));
    }
    Result r;
    if (data == "0")
        return r;
    if (data.size() < 2 || data[0] != '1' || (data[1] != '0' && data[1] != '1'))
        return std::nullopt; // the child died half-way
    r.fromDesktop = true;
    r.reading.enabled = data[1] == '1';
    r.reading.server = data.substr(2);
    return r;
}

void ProxyPrefetch::start()
{
    if (s_child > 0 || threadCount() != 1)
        return;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return;
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return;
    }
    if (pid == 0) {
        ::close(fds[0]);
        readInto(fds[1]);
        // No exit handlers or stream flushes of the parent's state.
        ::_exit(0);
    }
    ::close(fds[1]);
    s_child = pid;
    s_fd = fds[0];
}

std::optional<ProxyPrefetch::Result> ProxyPrefetch::take(int timeoutMs)
{
    if (s_child <= 0)
        return std::nullopt;
    std::optional<Result> r = parse(s_fd, timeoutMs);
    ::close(s_fd);
    if (!r)
        ::kill(s_child, SIGKILL);
    while (::waitpid(s_child, nullptr, 0) < 0 && errno == EINTR) { }
    s_child = -1;
    s_fd = -1;
    return r;
}

} // namespace tarnwick::linuxnet
