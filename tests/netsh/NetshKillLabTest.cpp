// netsh killed (SIGKILL) at random moments of a switch, in the lab: the next
// run finds what the cut-off one was doing and undoes it, so the link always
// holds exactly the old or the new configuration (one address, one default
// route), and the switch after it works. TARNWICK_KILL_ROUNDS sets the number
// of kills (a long run by hand: 1000).
#include "LabState.h"
#include "NetshLabCommands.h"
#include "Process.h"
#include "base/FileLock.h"
#include "linkstate/LinkState.h"
#include "netsh/linux/ChangeIntent.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <net/if.h>
#include <random>
#include <signal.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace tarnwick::test::lab;
using tarnwick::test::binPath;
using tarnwick::test::runProcess;

extern char** environ;

namespace
{

struct StaticConfig {
    std::vector<std::string> command;
    std::vector<std::string> addresses;
    std::vector<std::string> routes;
};

const StaticConfig& configA()
{
    static const StaticConfig c { c3("192.0.2.10", "255.255.255.0", "192.0.2.1"), { "192.0.2.10/24" },
        { "192.0.2.1 1" } };
    return c;
}

const StaticConfig& configB()
{
    static const StaticConfig c { c3("198.51.100.5", "255.255.255.0", "198.51.100.1"), { "198.51.100.5/24" },
        { "198.51.100.1 1" } };
    return c;
}

// The client whose script configures the lease under netsh's lock: what the
// link holds can be read whole.
const std::map<std::string, std::string> kClient { { "TARNWICK_DHCP_CLIENT", "dhclient" } };

// Starts netsh and kills it `after` later; true when it was still running.
bool runAndKill(const std::vector<std::string>& args, std::chrono::microseconds after,
    const std::map<std::string, std::string>& extraEnv = {})
{
    std::vector<std::string> argv = args;
    argv.insert(argv.begin(), binPath("netsh"));
    std::vector<char*> cargv;
    for (auto& a : argv)
        cargv.push_back(a.data());
    cargv.push_back(nullptr);
    std::vector<std::string> envText;
    for (char** e = environ; *e; ++e)
        envText.emplace_back(*e);
    for (const auto& [k, v] : extraEnv)
        envText.push_back(k + "=" + v);
    std::vector<char*> cenv;
    for (auto& e : envText)
        cenv.push_back(e.data());
    cenv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        // What a run that ends before the kill prints is of no interest.
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execve(cargv[0], cargv.data(), cenv.data());
        ::_exit(127);
    }
    std::this_thread::sleep_for(after);
    const bool running = ::waitpid(pid, nullptr, WNOHANG) == 0;
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return running;
}

std::chrono::microseconds timeOf(const std::vector<std::string>& args)
{
    const auto start = std::chrono::steady_clock::now();
    const auto r = netsh(args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
}

// What the link holds, read under netsh's lock so no run of it (or lease
// event) is half-way.
struct Seen {
    std::vector<Address> addresses;
    std::vector<std::string> routes;
    std::string record;
    bool intentLeft = false;
};

Seen look()
{
    const auto dir = tarnwick::namespaceStateDir();
    tarnwick::FileLock lock(dir / "lock");
    return { addresses(), defaultRoutes(), stateText(), std::filesystem::exists(dir / (lan() + ".intent")) };
}

std::vector<std::string> texts(const std::vector<Address>& list)
{
    std::vector<std::string> out;
    for (const auto& a : list)
        out.push_back(a.text);
    std::sort(out.begin(), out.end());
    return out;
}

bool holds(const Seen& s, const StaticConfig& c)
{
    return texts(s.addresses) == c.addresses && s.routes == c.routes && !s.intentLeft;
}

bool onLease(const Seen& s)
{
    return s.addresses.size() == 1 && s.addresses.front().dynamic && s.routes.size() == 1 && !s.intentLeft;
}

std::string describe(const Seen& s)
{
    std::string text = "addresses:";
    for (const auto& a : s.addresses)
        text += " " + a.text + (a.dynamic ? " dynamic" : "");
    text += "\nroutes:";
    for (const auto& r : s.routes)
        text += " [" + r + "]";
    return text + "\nrecord:\n" + s.record + (s.intentLeft ? "intent left\n" : "");
}

// A client cut off while it waited for its lease brings one later: the
// link is whole once the lease is in, or when no client runs at all.
Seen settled()
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    for (;;) {
        Seen s = look();
        const bool waiting = clientInstances() > 0 && s.record.find("\nlease=\n") != std::string::npos;
        if (!waiting || std::chrono::steady_clock::now() > deadline)
            return s;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

// True when the process is held still (state T), as a run of netsh holds a
// client while the link changes under it.
bool stopped(int pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    std::getline(in, text);
    const auto close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'T';
}

int rounds()
{
    const char* text = std::getenv("TARNWICK_KILL_ROUNDS");
    const int n = text ? std::atoi(text) : 0;
    return n > 0 ? n : 60;
}

} // namespace

TEST(NetshKillLab, EverySwitchCutOffIsWholeAfterTheNextRun)
{
    ASSERT_NO_FATAL_FAILURE(resetLink());
    expectOk(netsh(configA().command), "A");
    // How long a switch takes here: the kills fall anywhere within it.
    auto longest = std::chrono::microseconds(0);
    for (int i = 0; i < 4; ++i) {
        longest = std::max(longest, timeOf(configB().command));
        longest = std::max(longest, timeOf(configA().command));
    }
    std::mt19937 random(std::random_device {}());
    const StaticConfig* now = &configA();
    int kills = 0, cutOff = 0, half = 0, undone = 0, completed = 0, toDhcp = 0;
    const int total = rounds();
    for (int round = 0; round < total && half < 5; ++round) {
        // Every fourth round leaves for DHCP; the client starts part-way.
        const bool dhcp = round % 4 == 3;
        const StaticConfig* next = now == &configA() ? &configB() : &configA();
        const auto span = dhcp ? longest * 4 : longest;
        const auto after = std::chrono::microseconds(
            std::uniform_int_distribution<long long>(0, static_cast<long long>(span.count()))(random));
        ++kills;
        if (runAndKill(
                dhcp ? c1() : next->command, after, dhcp ? kClient : std::map<std::string, std::string> {}))
            ++cutOff;
        // The next run, whatever it is, finds the cut-off change first.
        const auto shown = netsh({ "interface", "ip", "show", "config", lan() });
        EXPECT_EQ(shown.exitCode, 0) << shown.err;
        if (shown.out.find("已撤销") != std::string::npos)
            ++undone;
        const Seen s = dhcp ? settled() : look();
        const bool whole = dhcp ? holds(s, *now) || onLease(s) : holds(s, *now) || holds(s, *next);
        if (!whole) {
            ++half;
            ADD_FAILURE() << "round " << round << (dhcp ? " (to DHCP)" : "") << ", killed after "
                          << after.count() << " µs: half-changed\n"
                          << describe(s) << "show config:\n"
                          << shown.out;
        }
        if (dhcp && onLease(s)) {
            ++toDhcp;
            // And one more cut off on its way back to a static address: the
            // client held still while the link changes is let go again or
            // ended, never left stopped.
            ++kills;
            const auto back = std::chrono::microseconds(std::uniform_int_distribution<long long>(
                0, static_cast<long long>(longest.count() * 3))(random));
            if (runAndKill(next->command, back))
                ++cutOff;
            const auto again = netsh({ "interface", "ip", "show", "config", lan() });
            if (again.out.find("已撤销") != std::string::npos)
                ++undone;
            if (again.out.find("已完成") != std::string::npos)
                ++completed;
            const Seen b = look();
            const auto clients = clientPids();
            const bool leased = onLease(b) && clients.size() == 1 && !stopped(clients.front());
            if (!leased && !(holds(b, *next) && clients.empty())) {
                ++half;
                ADD_FAILURE() << "round " << round << " (back from DHCP), killed after " << back.count()
                              << " µs: half-changed, " << clients.size() << " client(s)\n"
                              << describe(b) << "show config:\n"
                              << again.out;
            }
        }
        // And the switch after it works, from whatever the link holds.
        const auto r = netsh(next->command);
        expectOk(r, "switch after round " + std::to_string(round));
        const Seen after2 = look();
        EXPECT_TRUE(holds(after2, *next)) << "round " << round << "\n" << describe(after2);
        EXPECT_EQ(clientInstances(), 0);
        now = next;
    }
    std::cout << "kills: " << kills << ", still running when killed: " << cutOff
              << ", undone by the next run: " << undone << ", completed by it: " << completed
              << ", ended on a lease: " << toDhcp << ", half-changed: " << half << "\n";
    EXPECT_EQ(half, 0);
}

// A record left by a run cut off after it moved the link half-way: the next
// run, whichever command it carries, first puts the link back as the record
// has it, and show config says so.
TEST(NetshKillLab, ALeftRecordIsUndoneFirstByWhateverRunComesNext)
{
    ASSERT_NO_FATAL_FAILURE(resetLink());
    const auto shownConfig = [] { return netsh({ "interface", "ip", "show", "config", lan() }); };
    const std::vector<std::string> nextRuns[]
        = { { "interface", "ip", "show", "config", lan() }, c8("192.0.2.53"), c9("192.0.2.54", 1) };
    for (const auto& next : nextRuns) {
        SCOPED_TRACE(next[2] + " " + next[3]);
        expectOk(netsh(configA().command), "A");
        const int ifindex = static_cast<int>(::if_nametoindex(lan().c_str()));
        tarnwick::netlink::Socket nl;
        tarnwick::netsh::ChangeIntent intent;
        intent.ifindex = ifindex;
        intent.command = "set address source=static addr=198.51.100.5/24 gateway=198.51.100.1";
        intent.before = tarnwick::netsh::takeSnapshot(nl, lan(), ifindex);
        tarnwick::netsh::writeChangeIntent(lan(), intent);
        // Where the cut-off run got to: the new route and address beside the old.
        runProcess({ "ip", "addr", "add", "198.51.100.5/24", "dev", lan() });
        runProcess({ "ip", "route", "add", "default", "via", "198.51.100.1", "dev", lan(), "metric", "2" });
        ASSERT_EQ(defaultRoutes().size(), 2u);
        const auto r = netsh(next);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        const Seen s = look();
        EXPECT_EQ(texts(s.addresses), configA().addresses) << describe(s);
        EXPECT_EQ(s.routes, configA().routes) << describe(s);
        EXPECT_FALSE(s.intentLeft);
        const std::string note
            = "上次被中断的更改（" + intent.command + "）已撤销，接口已恢复到更改前的配置。";
        if (next[2] == "show") {
            EXPECT_NE(r.out.find("    " + note + "\n"), std::string::npos) << r.out;
        }
        // Said once: the record is gone.
        EXPECT_EQ(shownConfig().out.find("已撤销"), std::string::npos);
    }
}
