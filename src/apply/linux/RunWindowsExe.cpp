#include "apply/RunWindowsExe.h"

#include "apply/CommandLine.h"
#include "apply/CommandTimedOut.h"
#include "apply/linux/UniqueFd.h"
#include "base/Spawn.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <memory>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>

namespace tarnwick
{

namespace
{

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kPipeSize = 65536;

[[noreturn]] void throwErrno(int code, const std::string& what)
{
    throw std::system_error(code, std::generic_category(), what);
}

// glibc's own wrapper lacks C linkage in some versions; the system call is the same.
int openPidFd(pid_t pid)
{
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

fs::path executableDir()
{
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : self.parent_path();
}

// 0 when `path` is a file we may run, else the errno that says why not.
int runnable(const fs::path& path)
{
    struct stat st {
    };
    if (::stat(path.c_str(), &st) != 0)
        return errno;
    if (!S_ISREG(st.st_mode))
        return EACCES;
    return ::access(path.c_str(), X_OK) == 0 ? 0 : errno;
}

// Why `path` may not run, for the user: a program kept for the members of
// its group (the installed netsh) says which group.
std::string refusedBecause(const fs::path& path, int err)
{
    std::string what = "cannot start " + path.string();
    struct stat st {
    };
    if (err == EACCES && ::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IXGRP)
        && !(st.st_mode & S_IXOTH)) {
        const group* g = ::getgrgid(st.st_gid);
        what += " (only members of group " + (g ? std::string(g->gr_name) : std::to_string(st.st_gid))
            + " may run it)";
    }
    return what;
}

// Our programs come from our own folders only: beside the executable (the
// build), then the installed layout's libexec folder. Never PATH, where a
// program of the same name could stand in for the one that changes the network.
fs::path findProgram(const std::string& name, const fs::path& programDir)
{
    if (name.empty())
        throwErrno(ENOENT, "cannot start a program with an empty name");
    if (name.find('/') != std::string::npos) {
        if (const int err = runnable(name))
            throwErrno(err, refusedBecause(name, err));
        return name;
    }
    const fs::path dir = programDir.empty() ? executableDir() : programDir;
    if (dir.empty())
        throwErrno(ENOENT, "cannot start " + name + ": this program's folder is unknown");
    int err = ENOENT;
    fs::path refused;
    for (const fs::path& folder : { dir, dir.parent_path() / "libexec" / "tarnwick" }) {
        const int e = runnable(folder / name);
        if (e == 0)
            return folder / name;
        if (e != ENOENT && refused.empty()) {
            err = e; // like execvp: a file that exists but cannot run says so
            refused = folder / name;
        }
    }
    throwErrno(err, refused.empty() ? "cannot start " + name : refusedBecause(refused, err));
}

// Kills and reaps a child that is still ours when an error unwinds the
// runner, so no process or zombie outlives the call.
class Child
{
public:
    explicit Child(pid_t pid)
        : m_pid(pid)
    {
    }
    ~Child() { kill(); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return m_pid; }
    bool ended()
    {
        if (m_pid <= 0)
            return true;
        int status = 0;
        pid_t r;
        while ((r = ::waitpid(m_pid, &status, WNOHANG)) < 0 && errno == EINTR) { }
        if (r == m_pid)
            finished(status);
        return m_pid < 0;
    }
    void reap()
    {
        if (m_pid <= 0)
            return;
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) { }
        finished(status);
    }
    // The exit status once reaped, -1 when a signal ended it.
    int exitStatus() const { return m_exitStatus; }
    void kill()
    {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGKILL);
        reap();
    }

private:
    void finished(int status)
    {
        m_pid = -1;
        m_exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    pid_t m_pid;
    int m_exitStatus = -1;
};

class Collector
{
public:
    // Left untouched until a read fills it: a child that prints little
    // costs no page faults for the rest.
    Collector(int fd, std::string program)
        : m_fd(fd)
        , m_program(std::move(program))
        , m_buffer(new char[kReadSize])
    {
    }

    // One read; false at end of file (or nothing there on a non-blocking fd).
    bool readOnce(std::size_t max = kReadSize)
    {
        for (;;) {
            const ssize_t n = ::read(m_fd, m_buffer.get(), std::min(max, kReadSize));
            if (n > 0) {
                const auto len = ::strnlen(m_buffer.get(), static_cast<std::size_t>(n));
                m_chunks.emplace_back(m_buffer.get(), len);
                m_lastRead = static_cast<std::size_t>(n);
                return true;
            }
            if (n == 0)
                return false;
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN)
                return false;
            throwErrno(errno, "cannot read the output of " + m_program);
        }
    }

    // What the pipe holds at this moment, and no more: a grandchild that
    // keeps writing into the inherited pipe cannot hold the call.
    void drainAvailable()
    {
        int avail = 0;
        if (::ioctl(m_fd, FIONREAD, &avail) != 0)
            throwErrno(errno, "cannot query the output pipe of " + m_program);
        std::size_t left = static_cast<std::size_t>(avail);
        while (left > 0 && readOnce(left))
            left -= std::min(left, m_lastRead);
    }

    std::vector<std::string> take() { return std::move(m_chunks); }

private:
    int m_fd;
    std::string m_program;
    std::unique_ptr<char[]> m_buffer;
    std::vector<std::string> m_chunks;
    std::size_t m_lastRead = 0;
};

} // namespace

std::vector<std::string> RunWindowsExe(const std::string& commandLine, const RunOptions& options)
{
    return runCommandLine(commandLine, options).chunks;
}

CommandOutput runCommandLine(const std::string& commandLine, const RunOptions& options)
{
    std::vector<std::string> args = splitCommandLine(commandLine);
    if (args.empty())
        throwErrno(ENOENT, "cannot start an empty command line");
    const std::string program = args.front();
    const fs::path path = findProgram(program, options.programDir);
    const bool bounded = options.limit.has_value();
    const Clock::time_point deadline = bounded ? Clock::now() + *options.limit : Clock::time_point::max();

    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        throwErrno(errno, "cannot create the output pipe");
    sys::UniqueFd readEnd(ends[0]);
    sys::UniqueFd writeEnd(ends[1]);
    ::fcntl(readEnd.get(), F_SETPIPE_SZ, kPipeSize); // a hint; the default serves as well

    // Windows children get no standard input.
    const pid_t pid = spawnProgram(path, args, ChildStreams { -1, writeEnd.get(), writeEnd.get() });
    Child child(pid);
    writeEnd.reset(); // only the child writes now, so its end gives us end of file

    // A pidfd tells us the child ended even when a grandchild keeps the pipe
    // open; without one (old kernels) we look every few milliseconds.
    sys::UniqueFd pidFd(openPidFd(pid));
    Collector out(readEnd.get(), program);
    bool pipeOpen = true;

    for (;;) {
        int timeout = pidFd ? -1 : 10;
        if (bounded) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) {
                child.kill();
                out.drainAvailable();
                throw CommandTimedOut(program, *options.limit, out.take());
            }
            timeout = timeout < 0 ? static_cast<int>(left) : std::min<int>(timeout, static_cast<int>(left));
        }
        pollfd fds[2] = { { pipeOpen ? readEnd.get() : -1, POLLIN, 0 }, { pidFd.get(), POLLIN, 0 } };
        const int ready = ::poll(fds, 2, timeout);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            throwErrno(errno, "cannot wait for " + program);
        }
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR))
            pipeOpen = out.readOnce();
        const bool ended = pidFd ? (fds[1].revents & POLLIN) != 0 : child.ended();
        if (ended) {
            child.reap();
            // Non-blocking from here: what is left is read without waiting.
            ::fcntl(readEnd.get(), F_SETFL, ::fcntl(readEnd.get(), F_GETFL) | O_NONBLOCK);
            if (pipeOpen)
                out.drainAvailable();
            return { out.take(), child.exitStatus() };
        }
    }
}

} // namespace tarnwick
