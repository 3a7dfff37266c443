#include "netsh/linux/DhcpClient.h"

#include "base/AtomicFile.h"
#include "linkstate/LinkState.h"
#include "netsh/linux/Spawn.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace tarnwick::netsh
{
namespace
{

namespace fs = std::filesystem;

[[noreturn]] void fail(const std::string& what, int err)
{
    throw std::system_error(err, std::generic_category(), what);
}

// In the child, before exec: report errno through the status pipe and leave.
[[noreturn]] void childFail(int statusFd, int err)
{
    [[maybe_unused]] const auto n = ::write(statusFd, &err, sizeof err);
    ::_exit(127);
}

// The link points to the lease hook beside this program. A root client runs
// whatever it names: it must be a plain program of the same owner as this
// one that no one else can write.
void makeHookLink(const fs::path& stateDir)
{
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        fail("cannot find this program", errno);
    self[n] = '\0';
    const fs::path hook = fs::path(self).parent_path() / kLeaseHookProgram;
    struct stat mine {
    }, theirs {};
    if (::stat("/proc/self/exe", &mine) != 0 || ::stat(hook.c_str(), &theirs) != 0)
        fail("cannot find the lease hook " + hook.string(), errno);
    if (!S_ISREG(theirs.st_mode) || theirs.st_uid != mine.st_uid || (theirs.st_mode & (S_IWGRP | S_IWOTH))
        || (theirs.st_mode & (S_ISUID | S_ISGID)))
        fail("the lease hook " + hook.string() + " is not a plain program of this one's owner", EPERM);
    const fs::path link = stateDir / kHookName;
    const fs::path tmp = stateDir / (std::string(kHookName) + ".new");
    ::unlink(tmp.c_str());
    if (::symlink(hook.c_str(), tmp.c_str()) != 0 || ::rename(tmp.c_str(), link.c_str()) != 0)
        fail("cannot create the client script link " + link.string(), errno);
}

// dhcpcd keeps its pid, socket and lease under fixed folders; a private mount
// namespace gives it ours, so clients of two network namespaces never meet.
void bindDhcpcdFolders(const fs::path& dir, int statusFd)
{
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        childFail(statusFd, errno);
    const std::pair<const char*, fs::path> binds[]
        = { { "/run/dhcpcd", dir / "run" }, { "/var/lib/dhcpcd", dir / "db" } };
    for (const auto& [target, source] : binds) {
        ::mkdir(target, 0755);
        if (::mount(source.c_str(), target, nullptr, MS_BIND, nullptr) != 0)
            childFail(statusFd, errno);
    }
}

std::vector<std::string> clientArguments(
    const DhcpClientProgram& client, const std::string& ifname, const fs::path& dir, const fs::path& hook)
{
    std::vector<std::string> argv = client.command;
    if (client.name == "dhcpcd") {
        // noarp and nodelay: a lease in tens of milliseconds instead of seconds.
        writeFileAtomically(dir / "dhcpcd.conf",
            "noarp\nnodelay\nipv4only\nnoipv4ll\n"
            "option domain_name_servers, routers, subnet_mask\n"
            "script \""
                + hook.string() + "\"\n",
            0600);
        argv.insert(argv.end(), { "-B", "-q", "-f", (dir / "dhcpcd.conf").string(), ifname });
    } else if (client.name == "dhclient") {
        writeFileAtomically(dir / "dhclient.conf",
            "request subnet-mask, broadcast-address, routers, domain-name-servers;\n", 0600);
        argv.insert(argv.end(),
            { "-4", "-d", "-cf", (dir / "dhclient.conf").string(), "-pf", (dir / "dhclient.pid").string(),
                "-lf", (dir / "dhclient.leases").string(), "-sf", hook.string(), ifname });
    } else {
        argv.insert(
            argv.end(), { "-f", "-i", ifname, "-s", hook.string(), "-p", (dir / "udhcpc.pid").string() });
    }
    return argv;
}

std::string statField(int pid, char* state)
{
    std::string text;
    try {
        text = readWholeFile("/proc/" + std::to_string(pid) + "/stat");
    } catch (const std::system_error&) {
        return {};
    }
    // "pid (comm) S ...": comm may hold blanks and parentheses, so take the last ')'.
    const auto open = text.find('(');
    const auto close = text.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close + 2 >= text.size())
        return {};
    *state = text[close + 2];
    return text.substr(open + 1, close - open - 1);
}

// True while a live (not zombie) process of the process group `pgid` remains:
// the client's helper processes may outlive it by a moment.
bool groupAlive(int pgid)
{
    DIR* dir = ::opendir("/proc");
    if (!dir)
        return false;
    bool alive = false;
    while (dirent* e = ::readdir(dir)) {
        char* end = nullptr;
        const long pid = std::strtol(e->d_name, &end, 10);
        if (*end != '\0' || pid <= 0)
            continue;
        std::string text;
        try {
            text = readWholeFile("/proc/" + std::to_string(pid) + "/stat");
        } catch (const std::system_error&) {
            continue;
        }
        const auto close = text.rfind(')');
        if (close == std::string::npos)
            continue;
        char state = 0;
        long ppid = 0, pgrp = 0;
        if (std::sscanf(text.c_str() + close + 1, " %c %ld %ld", &state, &ppid, &pgrp) == 3 && pgrp == pgid
            && state != 'Z' && state != 'X') {
            alive = true;
            break;
        }
    }
    ::closedir(dir);
    return alive;
}

bool sameNetNamespace(int pid)
{
    struct stat mine {
    }, theirs {};
    const std::string path = "/proc/" + std::to_string(pid) + "/ns/net";
    return ::stat("/proc/self/ns/net", &mine) == 0 && ::stat(path.c_str(), &theirs) == 0
        && mine.st_ino == theirs.st_ino && mine.st_dev == theirs.st_dev;
}

// A client of the link's folder still running, though no record names it (a
// run ended between its steps, or an older netsh lost it), would keep the
// next one from starting ("already running"): it goes, without acting.
void endStrayClients(const fs::path& dir, const std::string& ifname)
{
    for (const fs::path& pidFile : { dir / "run" / (ifname + ".pid"), dir / "run" / (ifname + "-4.pid"),
             dir / "dhclient.pid", dir / "udhcpc.pid" }) {
        std::string text;
        try {
            text = readWholeFile(pidFile);
        } catch (const std::system_error&) {
            continue;
        }
        const int pid = std::atoi(text.c_str());
        for (const char* name : { "dhcpcd", "dhclient", "udhcpc" }) {
            if (isDhcpClientProcess(pid, name))
                killDhcpClient(pid, name);
        }
    }
}

} // namespace

std::optional<DhcpClientProgram> findDhcpClient()
{
    std::vector<std::string> order { "dhcpcd", "dhclient", "udhcpc" };
    if (const char* wanted = ::secure_getenv("TARNWICK_DHCP_CLIENT")) {
        for (auto it = order.begin(); it != order.end(); ++it) {
            if (*it == wanted) {
                std::rotate(order.begin(), it, it + 1);
                break;
            }
        }
    }
    for (const auto& name : order) {
        if (const auto path = findProgram(name); !path.empty())
            return DhcpClientProgram { name, { path } };
        if (name == "udhcpc") {
            if (const auto busybox = findProgram("busybox"); !busybox.empty())
                return DhcpClientProgram { name, { busybox, "udhcpc" } };
        }
    }
    return std::nullopt;
}

int startDhcpClient(const DhcpClientProgram& client, const std::string& ifname, const fs::path& stateDir,
    const std::function<void(int pid)>& announce)
{
    const fs::path dir = stateDir / ("dhcp-" + ifname);
    makeStateFolder(dir / "run");
    makeStateFolder(dir / "db");
    endStrayClients(dir, ifname);
    makeHookLink(stateDir);
    const std::vector<std::string> args = clientArguments(client, ifname, dir, stateDir / kHookName);
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const std::string log = (dir / "client.log").string();

    int go[2], status[2];
    if (::pipe2(go, O_CLOEXEC) != 0)
        fail("cannot create a pipe", errno);
    if (::pipe2(status, O_CLOEXEC) != 0) {
        const int err = errno;
        ::close(go[0]);
        ::close(go[1]);
        fail("cannot create a pipe", err);
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        const int err = errno;
        for (int fd : { go[0], go[1], status[0], status[1] })
            ::close(fd);
        fail("cannot start " + client.name, err);
    }
    if (pid == 0) {
        // Child: only async-signal-safe calls from here on. Its copies of the
        // parent's ends go first: with the write end of `go` open here, a
        // parent that gives up could never be seen to.
        ::close(go[1]);
        ::close(status[0]);
        ::setsid();
        // A session of its own, so nothing of netsh's guard against the
        // caller's terminal: the client starts with every signal's default.
        for (int sig = 1; sig < NSIG; ++sig) {
            if (sig != SIGKILL && sig != SIGSTOP)
                ::signal(sig, SIG_DFL);
        }
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (in < 0 || out < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(out, 2) < 0)
            childFail(status[1], errno);
        char byte = 0;
        if (::read(go[0], &byte, 1) != 1)
            ::_exit(126); // the parent gave up
        if (client.name == "dhcpcd")
            bindDhcpcdFolders(dir, status[1]);
        ::execv(argv[0], argv.data());
        childFail(status[1], errno);
    }
    ::close(go[0]);
    ::close(status[1]);
    try {
        announce(pid);
    } catch (...) {
        ::close(go[1]);
        ::close(status[0]);
        ::waitpid(pid, nullptr, 0);
        throw;
    }
    const char byte = 1;
    [[maybe_unused]] const auto w = ::write(go[1], &byte, 1);
    ::close(go[1]);
    int childErr = 0;
    ssize_t n;
    do
        n = ::read(status[0], &childErr, sizeof childErr);
    while (n < 0 && errno == EINTR);
    ::close(status[0]);
    if (n > 0) {
        ::waitpid(pid, nullptr, 0);
        fail("cannot start " + client.name, childErr);
    }
    return pid;
}

bool isDhcpClientProcess(int pid, const std::string& name)
{
    if (pid <= 0)
        return false;
    char state = 0;
    const std::string comm = statField(pid, &state);
    if (comm.empty() || state == 'Z' || state == 'X')
        return false;
    const bool named = comm == name || (name == "udhcpc" && comm == "busybox");
    return named && sameNetNamespace(pid);
}

bool isStoppedDhcpClient(int pid, const std::string& name)
{
    char state = 0;
    return isDhcpClientProcess(pid, name) && !statField(pid, &state).empty() && state == 'T';
}

void stopDhcpClient(int pid, const std::string& name)
{
    if (!isDhcpClientProcess(pid, name))
        return;
    // Held still by a run that ended before it could end it: the link has
    // changed since, so it goes without acting.
    if (isStoppedDhcpClient(pid, name)) {
        killDhcpClient(pid, name);
        return;
    }
    // The client first, so that it deconfigures in order; then whatever of
    // its process group (it leads one of its own) is left.
    ::kill(pid, SIGTERM);
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + seconds(3);
    while (isDhcpClientProcess(pid, name) || groupAlive(pid)) {
        if (steady_clock::now() > deadline) {
            ::kill(-pid, SIGKILL);
            break;
        }
        std::this_thread::sleep_for(milliseconds(5));
    }
    // Reap it when it is our own child (started by this same run).
    ::waitpid(pid, nullptr, WNOHANG);
}

void killDhcpClient(int pid, const std::string& name)
{
    if (!isDhcpClientProcess(pid, name))
        return;
    ::kill(-pid, SIGKILL);
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + seconds(3);
    while ((isDhcpClientProcess(pid, name) || groupAlive(pid)) && steady_clock::now() < deadline)
        std::this_thread::sleep_for(milliseconds(2));
    ::waitpid(pid, nullptr, WNOHANG);
}

} // namespace tarnwick::netsh
