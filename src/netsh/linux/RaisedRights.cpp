#include "netsh/linux/RaisedRights.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <iterator>
#include <linux/capability.h>
#include <sys/auxv.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>
#include <vector>

namespace tarnwick::netsh
{
namespace
{

// Every capability a raised run keeps, with the code that needs it. Those of
// the helper's own code are effective; the others stay only permitted (and
// in the bounding set) for the root DHCP clients it starts: with
// no_new_privs an exec gains no capability beyond the permitted set, so this
// table is all that the clients, and the lease hook they run, can ever hold.
struct KeptCapability {
    int cap;
    bool helper; // used by the helper's own code (effective); else only by its clients
};
constexpr KeptCapability kKept[] = {
    // Addresses and default routes over rtnetlink (LinkChanges.cpp, Commands.cpp;
    // the lease hook's LeaseHook.cpp under the client).
    { CAP_NET_ADMIN, true },
    // Stopping, resuming and ending a client's process group, whose
    // privilege-separated dhcpcd processes run as user dhcpcd (DhcpClient.cpp,
    // holdClientStill in Commands.cpp).
    { CAP_KILL, true },
    // Telling the network namespace of such a process (/proc/PID/ns/net in
    // DhcpClient.cpp's sameNetNamespace), so that no other namespace's client
    // is taken for ours.
    { CAP_SYS_PTRACE, true },
    // dhcpcd's private mount namespace and bind mounts, made in the forked
    // child before the exec (bindDhcpcdFolders in DhcpClient.cpp).
    { CAP_SYS_ADMIN, true },
    // The clients: DHCP's raw socket and port 68.
    { CAP_NET_RAW, false },
    { CAP_NET_BIND_SERVICE, false },
    // dhcpcd's privilege separation: it becomes user dhcpcd, chroots and
    // hands its folders to that user.
    { CAP_SETUID, false },
    { CAP_SETGID, false },
    { CAP_SYS_CHROOT, false },
    { CAP_CHOWN, false },
};

bool kept(int cap)
{
    return std::any_of(
        std::begin(kKept), std::end(kKept), [cap](const KeptCapability& k) { return k.cap == cap; });
}

std::string why(const char* what)
{
    return std::string("netsh 无法安全地启动（") + what + "：" + std::strerror(errno) + "），未作任何更改。";
}

// 0, 1 and 2 open whatever the caller closed, so that no file we open later
// becomes someone's output; everything else the caller left open goes.
bool settleDescriptors()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) < 0) {
            const int null = ::open("/dev/null", O_RDWR);
            if (null != fd)
                return false;
        }
    }
    return ::syscall(SYS_close_range, 3u, ~0u, 0u) == 0;
}

bool callerInGroup(gid_t group)
{
    if (::getgid() == group)
        return true;
    const int n = ::getgroups(0, nullptr);
    if (n < 0)
        return false;
    std::vector<gid_t> groups(static_cast<std::size_t>(n) + 1);
    const int m = ::getgroups(static_cast<int>(groups.size()), groups.data());
    for (int i = 0; i < m; ++i) {
        if (groups[static_cast<std::size_t>(i)] == group)
            return true;
    }
    return false;
}

// The group's name from the group file itself: this static program has no
// account lookups, and the name is only for the message.
std::string groupName(gid_t group)
{
    std::string name = std::to_string(group);
    if (FILE* f = std::fopen("/etc/group", "re")) {
        while (const ::group* g = ::fgetgrent(f)) {
            if (g->gr_gid == group) {
                name = g->gr_name;
                break;
            }
        }
        std::fclose(f);
    }
    return name;
}

// An interval timer outlives the exec: left running, the caller's timer would
// end netsh at a moment of their choosing, half-way through a change.
// (POSIX timers do not survive an exec.)
bool clearTimers()
{
    const itimerval off {};
    for (const int which : { ITIMER_REAL, ITIMER_VIRTUAL, ITIMER_PROF }) {
        if (::setitimer(which, &off, nullptr) != 0)
            return false;
    }
    return true;
}

void resetSignals()
{
    for (int sig = 1; sig < NSIG; ++sig) {
        if (sig != SIGKILL && sig != SIGSTOP)
            ::signal(sig, SIG_DFL); // fails harmlessly for the numbers the C library keeps
    }
    // A write past a file size limit fails and is undone like any failed
    // write, instead of ending netsh half-way through a change.
    ::signal(SIGXFSZ, SIG_IGN);
    // The caller's terminal signals its foreground job whoever runs it: it
    // could stop netsh holding the namespace's lock (everyone's switches
    // would wait), or end it half-way. Started, netsh finishes.
    for (const int sig : { SIGTSTP, SIGTTIN, SIGTTOU, SIGINT, SIGQUIT, SIGHUP })
        ::signal(sig, SIG_IGN);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
}

bool resetLimits()
{
    const rlim_t inf = RLIM_INFINITY;
    const struct {
        int resource;
        rlimit limit;
    } limits[] = {
        { RLIMIT_CPU, { inf, inf } },
        { RLIMIT_FSIZE, { inf, inf } },
        { RLIMIT_DATA, { inf, inf } },
        { RLIMIT_AS, { inf, inf } },
        { RLIMIT_STACK, { 8 << 20, inf } },
        { RLIMIT_NOFILE, { 1024, 1 << 20 } },
        { RLIMIT_NPROC, { inf, inf } },
        { RLIMIT_CORE, { 0, 0 } },
    };
    for (const auto& l : limits) {
        if (::setrlimit(l.resource, &l.limit) == 0)
            continue;
        // Without CAP_SYS_RESOURCE (some containers) a lowered hard limit
        // stays: then as much as it allows.
        rlimit now {};
        if (errno != EPERM || ::getrlimit(l.resource, &now) != 0)
            return false;
        const rlimit most { std::min(l.limit.rlim_cur, now.rlim_max), now.rlim_max };
        if (::setrlimit(l.resource, &most) != 0)
            return false;
    }
    return true;
}

bool keepOnlyNeededCapabilities()
{
    for (int cap = 0; cap < 64; ++cap) {
        if (kept(cap))
            continue;
        if (::prctl(PR_CAPBSET_DROP, cap, 0, 0, 0) != 0) {
            if (errno == EINVAL)
                break; // past the last capability this kernel knows
            return false;
        }
    }
    __user_cap_header_struct header { _LINUX_CAPABILITY_VERSION_3, 0 };
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    for (const auto& k : kKept) {
        if (k.helper)
            data[k.cap / 32].effective |= 1u << (k.cap % 32);
        data[k.cap / 32].permitted |= 1u << (k.cap % 32);
    }
    if (::syscall(SYS_capset, &header, data) != 0)
        return false;
    // Nothing started from here on gains more (no set-user-ID program).
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0;
}

} // namespace

StartRights settleStartRights()
{
    if (!::getauxval(AT_SECURE))
        return {};
    StartRights rights { true, {} };
    if (!clearTimers()) {
        rights.refusal = why("定时器");
        return rights;
    }
    if (!settleDescriptors()) {
        rights.refusal = why("描述符");
        return rights;
    }
    struct stat self {
    };
    if (::stat("/proc/self/exe", &self) != 0) {
        rights.refusal = why("程序文件");
        return rights;
    }
    if (::getuid() != 0 && !callerInGroup(self.st_gid)) {
        rights.refusal
            = "只有 " + groupName(self.st_gid) + " 组的成员才能用 netsh 更改网络设置，未作任何更改。";
        return rights;
    }
    // Nothing of the caller's chooses a path, a program or a limit for us.
    ::clearenv();
    ::setenv("PATH", "/usr/sbin:/usr/bin:/sbin:/bin", 1);
    ::umask(022);
    resetSignals();
    if (::chdir("/") != 0) {
        rights.refusal = why("工作文件夹");
        return rights;
    }
    if (!resetLimits()) {
        rights.refusal = why("资源限制");
        return rights;
    }
    if (::setgroups(0, nullptr) != 0 || ::setresgid(0, 0, 0) != 0 || ::setresuid(0, 0, 0) != 0) {
        rights.refusal = why("用户身份");
        return rights;
    }
    if (!keepOnlyNeededCapabilities())
        rights.refusal = why("权能");
    return rights;
}

} // namespace tarnwick::netsh
