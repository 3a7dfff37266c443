// A caller who means harm: a member of the program's group runs a
// set-user-ID copy of netsh with a timer of their own, or stops it from their
// terminal while it holds the namespace's lock.
#include "LabState.h"
#include "NetshLabCommands.h"
#include "Process.h"
#include "Sanitized.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <iterator>
#include <linux/capability.h>
#include <regex>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace tarnwick::test::lab;
using tarnwick::test::binPath;
using tarnwick::test::TempDir;

extern char** environ;

namespace
{

namespace fs = std::filesystem;

constexpr uid_t kMember = 65534; // nobody
constexpr gid_t kGroup = 65534; // nogroup: the copy's group, as netdev is the installed one's

std::string netnsFolder(const std::string& root)
{
    struct stat ns {
    };
    ::stat("/proc/self/ns/net", &ns);
    return root + "/netns-" + std::to_string(ns.st_ino);
}

// The set-user-ID netsh keeps its state where the caller cannot move it.
std::string raisedStateFolder()
{
    return netnsFolder("/run/tarnwick");
}

// A child holding a lock file's lock until it is ended, as a netsh stopped
// half-way would.
class LockHolder
{
public:
    explicit LockHolder(const std::string& lockFile)
    {
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(ready[0]);
            const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
            if (fd < 0 || ::flock(fd, LOCK_EX) != 0)
                ::_exit(1);
            [[maybe_unused]] const auto n = ::write(ready[1], "x", 1);
            for (;;)
                ::pause();
        }
        ::close(ready[1]);
        char byte = 0;
        m_locked = ::read(ready[0], &byte, 1) == 1;
        ::close(ready[0]);
    }
    ~LockHolder() { release(); }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

    bool locked() const { return m_locked; }
    int pid() const { return m_pid; }
    void release()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = 0;
        }
    }

private:
    int m_pid = 0;
    bool m_locked = false;
};

// A started run of the set-user-ID copy as the member; its output (stdout and
// stderr together) is read when it ends.
struct MemberRun {
    int pid = 0;
    int output = -1;
};

struct MemberResult {
    bool exited = false;
    bool stopped = false;
    int exitCode = -1;
    int signal = 0;
    std::string output;
};

class NetshHostileCaller : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(resetLink());
        struct statvfs fs {
        };
        ASSERT_EQ(::statvfs(m_dir.path().c_str(), &fs), 0);
        if (fs.f_flag & ST_NOSUID)
            GTEST_SKIP() << "the temporary folder is mounted nosuid";
        ::chmod(m_dir.path().c_str(), 0755);
        fs::copy_file(binPath("netsh-helper"), m_netsh);
        // Its clients' lease hook, beside it as in an installation.
        fs::copy_file(binPath("tarnwick-lease-hook"), m_dir / "tarnwick-lease-hook");
        ASSERT_EQ(::chown(m_netsh.c_str(), 0, kGroup), 0);
        ASSERT_EQ(::chmod(m_netsh.c_str(), 04750), 0);
    }
    void TearDown() override
    {
        // No client of the copy's may outlive the test.
        if (!m_netsh.empty() && fs::exists(m_netsh))
            finish(start(c2("192.0.2.250", "255.255.255.0")));
    }

    // Starts the copy as the member (or the plain netsh as root, with the
    // lab's environment); `timerMs` arms the caller's ITIMER_REAL just before
    // the exec.
    MemberRun start(const std::vector<std::string>& args, int timerMs = 0, bool member = true) const
    {
        std::vector<std::string> all { member ? m_netsh.string() : binPath("netsh") };
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            return {};
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::dup2(out[1], 1);
            ::dup2(out[1], 2);
            if (member
                && (::setgroups(0, nullptr) != 0 || ::setresgid(kGroup, kGroup, kGroup) != 0
                    || ::setresuid(kMember, kMember, kMember) != 0))
                ::_exit(120);
            if (timerMs > 0) {
                itimerval t {};
                t.it_value.tv_sec = timerMs / 1000;
                t.it_value.tv_usec = (timerMs % 1000) * 1000;
                ::setitimer(ITIMER_REAL, &t, nullptr);
            }
            char* const env[] = { const_cast<char*>("PATH=/usr/bin:/bin"), nullptr };
            ::execve(argv[0], argv.data(), member ? env : environ);
            ::_exit(127);
        }
        ::close(out[1]);
        return { pid, out[0] };
    }

    // Waits for the run to end, or to stop.
    static MemberResult finish(const MemberRun& run)
    {
        MemberResult r;
        int status = 0;
        while (::waitpid(run.pid, &status, WUNTRACED) < 0 && errno == EINTR) { }
        if (WIFSTOPPED(status)) {
            r.stopped = true;
            ::kill(run.pid, SIGCONT);
            while (::waitpid(run.pid, &status, 0) < 0 && errno == EINTR) { }
        }
        char buf[4096];
        ssize_t n;
        while ((n = ::read(run.output, buf, sizeof buf)) > 0)
            r.output.append(buf, static_cast<std::size_t>(n));
        ::close(run.output);
        r.exited = WIFEXITED(status);
        r.exitCode = r.exited ? WEXITSTATUS(status) : -1;
        r.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        return r;
    }

    TempDir m_dir;
    fs::path m_netsh = m_dir / "netsh";
};

void expectDone(const MemberResult& r, const std::string& what)
{
    EXPECT_FALSE(r.stopped) << what;
    EXPECT_EQ(r.signal, 0) << what << ": ended by signal " << r.signal;
    EXPECT_EQ(r.exitCode, 0) << what << ": " << r.output;
    EXPECT_NE(r.output.find("确定。"), std::string::npos) << what << ": " << r.output;
}

// Stopped processes among the namespace's DHCP clients and their helpers.
int stoppedClients()
{
    struct stat mine {
    };
    ::stat("/proc/self/ns/net", &mine);
    int stopped = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        // Read plainly: a process may end while it is read.
        char buf[512];
        const int fd = ::open((entry.path() / "stat").c_str(), O_RDONLY | O_CLOEXEC);
        const ssize_t n = fd < 0 ? -1 : ::read(fd, buf, sizeof buf);
        if (fd >= 0)
            ::close(fd);
        if (n <= 0)
            continue;
        const std::string text(buf, static_cast<std::size_t>(n));
        const auto open = text.find('(');
        const auto close = text.rfind(')');
        if (open == std::string::npos || close == std::string::npos || close + 2 >= text.size())
            continue;
        const std::string comm = text.substr(open + 1, close - open - 1);
        struct stat ns {
        };
        if ((comm == "dhcpcd" || comm == "dhclient" || comm == "udhcpc") && text[close + 2] == 'T'
            && ::stat((entry.path() / "ns/net").c_str(), &ns) == 0 && ns.st_ino == mine.st_ino)
            ++stopped;
    }
    return stopped;
}

} // namespace

// The timer goes off at a different moment of each run; each run still ends
// its switch, leaving one address, one default route and no client behind.
// A timer that went off before netsh began (nothing changed, nothing held
// still) leaves nothing to finish; most runs begin in time.
TEST_F(NetshHostileCaller, TheCallersTimerCannotCutASwitchShort)
{
    struct Kind {
        const char* name;
        bool fromDhcp;
        int rounds;
        int stepMs; // timers of 8, 8 + step, ... ms: a switch takes some tens
    };
    for (const Kind& kind :
        { Kind { "static -> static", false, 20, 1 }, Kind { "DHCP -> static", true, 10, 4 } }) {
        int finished = 0;
        for (int round = 0; round < kind.rounds; ++round) {
            const int timerMs = 8 + round * kind.stepMs;
            SCOPED_TRACE(std::string(kind.name) + ", timer " + std::to_string(timerMs) + " ms");
            const std::string address = "192.0.2." + std::to_string(10 + round % 2);
            const std::string gateway = "192.0.2." + std::to_string(1 + round % 2);
            if (kind.fromDhcp) {
                const MemberResult leased = finish(start(c1()));
                EXPECT_EQ(leased.exitCode, 0) << leased.output;
                EXPECT_EQ(clientInstances(), 1);
            }
            const auto addressesBefore = addressTexts();
            const auto routesBefore = defaultRoutes();
            const MemberResult r = finish(start(c3(address, "255.255.255.0", gateway), timerMs));
            EXPECT_EQ(stoppedClients(), 0);
            if (r.signal == SIGALRM && addressTexts() == addressesBefore && defaultRoutes() == routesBefore)
                continue;
            ++finished;
            expectDone(r, "C3");
            EXPECT_EQ(addressTexts(), std::vector<std::string> { address + "/24" });
            EXPECT_EQ(defaultRoutes(), std::vector<std::string> { gateway + " 1" });
            EXPECT_EQ(clientInstances(), 0);
        }
        // Sanitizer builds start netsh so slowly that most timers go off first.
        EXPECT_GE(finished, tarnwick::test::kSanitizedBuild ? 1 : kind.rounds * 3 / 4)
            << kind.name << ": runs the timer ended";
    }
}

// Root's own timer ends netsh where a crash could, at a different moment of
// each DHCP -> static switch: whatever it left, the next run still finds the
// client on record and gets a lease, and nothing stays stopped.
TEST_F(NetshHostileCaller, ARunEndedHalfWayLeavesNoClientTheNextCannotFind)
{
    const bool member = false;
    for (int round = 0; round < 20; ++round) {
        const int timerMs = 2 + 3 * round;
        SCOPED_TRACE("timer " + std::to_string(timerMs) + " ms");
        const MemberResult leased = finish(start(c1(), 0, member));
        EXPECT_EQ(leased.exitCode, 0) << leased.output;
        EXPECT_EQ(clientInstances(), 1);
        finish(start(c3("192.0.2.10", "255.255.255.0", "192.0.2.1"), timerMs, member));
    }
    expectOk(netsh(c2("192.0.2.10", "255.255.255.0")), "static at last");
    EXPECT_EQ(clientInstances(), 0);
    EXPECT_EQ(stoppedClients(), 0);
    EXPECT_EQ(addressTexts(), std::vector<std::string> { "192.0.2.10/24" });
}

// What an older netsh left when it ended half-way: its client stopped, and a
// record that names no client. The next DHCP switch still gets a lease.
TEST_F(NetshHostileCaller, AStoppedClientNoRecordNamesIsEndedByTheNextDhcpSwitch)
{
    expectOk(netsh(c1()), "C1");
    const std::string record = stateText();
    const std::string pid = match(record, "client-pid=([0-9]+)");
    ASSERT_FALSE(pid.empty()) << record;
    {
        // Held still as netsh holds it still: under the lock, so that none of
        // its lease events is half done.
        LockHolder lock(netnsFolder(env("TARNWICK_STATE_DIR")) + "/lock");
        ASSERT_TRUE(lock.locked());
        ASSERT_EQ(::kill(-std::stoi(pid), SIGSTOP), 0);
    }
    {
        std::ofstream out(netnsFolder(env("TARNWICK_STATE_DIR")) + "/" + lan() + ".state");
        out << std::regex_replace(record, std::regex("client-pid=[0-9]+"), "client-pid=0");
    }
    ASSERT_GT(stoppedClients(), 0);
    expectOk(netsh(c2("192.0.2.10", "255.255.255.0")), "C2");
    expectOk(netsh(c1()), "C1 again");
    EXPECT_EQ(clientInstances(), 1);
    EXPECT_EQ(stoppedClients(), 0);
    ASSERT_EQ(addresses().size(), 1u);
    EXPECT_TRUE(addresses()[0].dynamic);
}

// A holder that never lets go (a netsh stopped half-way) costs the others a
// bounded wait and a message naming it, not a hang.
TEST_F(NetshHostileCaller, AHeldLockIsGivenUpOnNamingItsHolder)
{
    LockHolder holder(netnsFolder(env("TARNWICK_STATE_DIR")) + "/lock");
    ASSERT_TRUE(holder.locked());
    const std::map<std::string, std::string> shortWait { { "TARNWICK_LOCK_WAIT_MS", "200" } };
    const auto addressesBefore = addressTexts();
    const auto resolverBefore = resolvConf();
    for (const auto& args : { c2("192.0.2.77", "255.255.255.0"), c1(), c8("192.0.2.9") }) {
        SCOPED_TRACE(args[3] + " " + args.back());
        const auto r = netsh(args, shortWait);
        EXPECT_EQ(r.exitCode, 1) << r.out;
        EXPECT_NE(r.err.find("pid " + std::to_string(holder.pid())), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("未作任何更改"), std::string::npos) << r.err;
        EXPECT_EQ(addressTexts(), addressesBefore);
        EXPECT_EQ(resolvConf(), resolverBefore);
        EXPECT_EQ(clientInstances(), 0);
    }
    holder.release();
    expectOk(netsh(c2("192.0.2.77", "255.255.255.0"), shortWait), "once the holder is gone");
}

// ^Z on the member's terminal sends SIGTSTP to the foreground job, netsh
// included, whoever it runs as: a netsh waiting for (or holding) the lock
// must not stop.
TEST_F(NetshHostileCaller, TheTerminalsStopSignalDoesNotStopIt)
{
    // A first run makes the copy's state folder and its lock file.
    expectDone(finish(start(c8("192.0.2.9"))), "C8");
    LockHolder holder(raisedStateFolder() + "/lock");
    ASSERT_TRUE(holder.locked());
    const MemberRun run = start(c2("192.0.2.78", "255.255.255.0"));
    ASSERT_GT(run.pid, 0);
    // netsh (not the child before its exec) wholly root: its start is over,
    // and it waits for the lock.
    bool root = false;
    for (int i = 0; i < 1000 && !root; ++i) {
        std::ifstream status("/proc/" + std::to_string(run.pid) + "/status");
        std::string line;
        bool named = false;
        while (std::getline(status, line)) {
            if (line.rfind("Name:", 0) == 0)
                named = line == "Name:\tnetsh";
            if (line.rfind("Uid:", 0) == 0)
                root = named && line.find_first_not_of("Uid:0 \t") == std::string::npos;
        }
        if (!root)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(root);
    ::kill(run.pid, SIGTSTP);
    ::kill(run.pid, SIGTTOU);
    holder.release();
    const MemberResult r = finish(run);
    expectDone(r, "C2 after ^Z");
    EXPECT_EQ(addressTexts(), std::vector<std::string> { "192.0.2.78/24" });
}

// The member's DHCP switch hands its clients the lease hook, a program of
// its own beside the helper, and no capability the helper keeps for nothing;
// the helper itself, started under the hook's name, is no hook: a forged
// lease event is a command line it refuses.
TEST_F(NetshHostileCaller, LeaseEventsGoToTheHookProgramNeverToTheHelper)
{
    const MemberResult leased = finish(start(c1()));
    EXPECT_EQ(leased.exitCode, 0) << leased.output;
    std::error_code ec;
    EXPECT_EQ(
        fs::read_symlink(raisedStateFolder() + "/tarnwick-dhcp-hook", ec), m_dir / "tarnwick-lease-hook")
        << ec.message();
    // Its client (and the hook it runs) can hold no capability beyond those
    // the helper keeps for the code that needs them: no file access rights
    // past their modes, no modules, no raw I/O.
    std::ifstream record(raisedStateFolder() + "/" + lan() + ".state");
    const std::string pid
        = match(std::string(std::istreambuf_iterator<char>(record), {}), "client-pid=([0-9]+)");
    ASSERT_FALSE(pid.empty());
    std::ifstream status("/proc/" + pid + "/status");
    const std::string bounding
        = match(std::string(std::istreambuf_iterator<char>(status), {}), "CapBnd:\\s*([0-9a-f]+)");
    std::uint64_t allowed = 0;
    for (const int cap : { CAP_NET_ADMIN, CAP_KILL, CAP_SYS_PTRACE, CAP_SYS_ADMIN, CAP_NET_RAW,
             CAP_NET_BIND_SERVICE, CAP_SETUID, CAP_SETGID, CAP_SYS_CHROOT, CAP_CHOWN })
        allowed |= std::uint64_t(1) << cap;
    ASSERT_FALSE(bounding.empty());
    EXPECT_EQ(std::stoull(bounding, nullptr, 16) & ~allowed, 0u) << "CapBnd " << bounding;

    const auto before = addressTexts();
    const fs::path posing = m_dir / "tarnwick-dhcp-hook";
    fs::create_symlink(m_netsh, posing);
    const auto r = tarnwick::test::runProcess({ posing.string() },
        { { "reason", "BOUND" }, { "interface", lan() }, { "new_ip_address", "192.0.2.150" },
            { "new_subnet_mask", "255.255.255.0" } });
    EXPECT_NE(r.exitCode, 0) << r.out;
    EXPECT_FALSE(r.err.empty());
    EXPECT_EQ(addressTexts(), before);
}
