// The echo exchange and the probe against the lab's network namespace: the
// gateway 192.0.2.1 answers; 198.51.100.0/24 is rejected with host
// unreachable and 203.0.113.0/24 expires in transit, both by the network
// side; 198.18.0.0/24 is dropped there without a word.
#include "apply/NetworkProbe.h"
#include "apply/PlainDispatcher.h"
#include "apply/linux/LinuxIcmpNetwork.h"

#include "Process.h"
#include "TempDir.h"
#include "TestPaths.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace tarnwick;
using tarnwick::test::runProcess;

namespace
{

std::string env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

void must(const std::vector<std::string>& argv)
{
    const auto r = runProcess(argv);
    ASSERT_EQ(r.exitCode, 0) << argv[0] << " " << (argv.size() > 1 ? argv[1] : "") << ": " << r.err;
}

std::vector<std::string> netSide(std::vector<std::string> argv)
{
    argv.insert(argv.begin(), { std::string(test::kScriptsDir) + "/lab", "net", env("TARNWICK_LAB"), "--" });
    return argv;
}

// Runs `f` on a thread that has joined the network side's namespace; sockets
// it opens stay there.
template <typename F> void onNetSide(F f)
{
    std::thread t([&] {
        const int ns = ::open(("/run/netns/" + env("TARNWICK_LAB_NET_NS")).c_str(), O_RDONLY | O_CLOEXEC);
        if (ns < 0 || ::setns(ns, CLONE_NEWNET) != 0)
            return;
        ::close(ns);
        f();
    });
    t.join();
}

void setPingGroupRange(const std::string& range)
{
    std::ofstream("/proc/sys/net/ipv4/ping_group_range") << range;
}

class ProbeLab : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (env("TARNWICK_LAB").empty())
            return;
        must({ "ip", "addr", "add", "192.0.2.10/24", "dev", env("TARNWICK_LAB_IF") });
        must({ "ip", "route", "add", "default", "via", "192.0.2.1" });
        must(netSide({ "sysctl", "-qw", "net.ipv4.icmp_ratelimit=0", "net.ipv4.ip_forward=1" }));
        must(netSide({ "ip", "link", "add", "rej0", "type", "veth", "peer", "name", "rej1" }));
        must(netSide({ "ip", "link", "set", "rej0", "up" }));
        must(netSide({ "ip", "link", "set", "rej1", "up" }));
        must(netSide({ "ip", "route", "add", "198.51.100.0/24", "dev", "rej0" }));
        must(netSide({ "ip", "route", "add", "203.0.113.0/24", "dev", "rej0" }));
        must(netSide({ "ip", "route", "add", "blackhole", "198.18.0.0/24" }));
        test::TempDir dir;
        std::ofstream(dir / "rules.nft")
            << "table inet twprobe {\n"
               "  chain early { type filter hook prerouting priority -150;\n"
               "    ip daddr 203.0.113.0/24 ip ttl set 1; }\n"
               "  chain through { type filter hook forward priority 0;\n"
               "    ip daddr 198.51.100.0/24 reject with icmp type host-unreachable; }\n"
               "}\n";
        must(netSide({ "nft", "-f", (dir / "rules.nft").string() }));
    }

    void SetUp() override
    {
        if (env("TARNWICK_LAB").empty())
            GTEST_SKIP() << "runs inside the lab (scripts/lab run)";
    }

    TReplyStatus ping(IcmpSocketKind kind, const std::string& host, TIdIcmpClient* reuse = nullptr)
    {
        LinuxIcmpNetwork net(kind);
        TIdIcmpClient fresh(net, m_clock);
        TIdIcmpClient& c = reuse ? *reuse : fresh;
        c.Host = host;
        c.ReceiveTimeout = 2000;
        return c.Ping();
    }

    SteadyTickClock m_clock;
};

struct RecordingView : ProbeView {
    void showIndicator(ProbeTarget t, const IndicatorState& s) override
    {
        (t == ProbeTarget::Gateway ? gateway : dns) = s;
    }
    IndicatorState gateway = indicator::reset();
    IndicatorState dns = indicator::reset();
};

const IcmpSocketKind kBothKinds[] = { IcmpSocketKind::Raw, IcmpSocketKind::Datagram };
const char* kindName(IcmpSocketKind k)
{
    return k == IcmpSocketKind::Raw ? "raw" : "ping socket";
}

} // namespace

TEST_F(ProbeLab, TheGatewayAnswersAndTheOutcomesMapOnBothSocketKinds)
{
    setPingGroupRange("0 2147483647");
    for (IcmpSocketKind kind : kBothKinds) {
        const TReplyStatus echo = ping(kind, "192.0.2.1");
        EXPECT_EQ(echo.kind, ReplyKind::Echo) << kindName(kind);
        EXPECT_EQ(echo.FromAddress, "192.0.2.1") << kindName(kind);
        EXPECT_EQ(echo.MessageType, 0) << kindName(kind);
        EXPECT_EQ(echo.SequenceNumber, 3489) << kindName(kind);
        EXPECT_EQ(echo.BytesRead, 72) << kindName(kind);
        EXPECT_EQ(echo.Ttl, 64) << kindName(kind);

        const TReplyStatus unreachable = ping(kind, "198.51.100.7");
        EXPECT_EQ(unreachable.kind, ReplyKind::Unreachable) << kindName(kind);
        EXPECT_EQ(unreachable.FromAddress, "192.0.2.1") << kindName(kind);
        EXPECT_EQ(unreachable.MessageType, 3) << kindName(kind);

        const TReplyStatus expired = ping(kind, "203.0.113.7");
        EXPECT_EQ(expired.kind, ReplyKind::TtlExpired) << kindName(kind);
        EXPECT_EQ(expired.MessageType, 11) << kindName(kind);

        const TReplyStatus nobody = ping(kind, "198.18.0.7");
        EXPECT_EQ(nobody.kind, ReplyKind::TimedOut) << kindName(kind);
        EXPECT_GE(nobody.RoundTripTime, 2000u) << kindName(kind);
        EXPECT_EQ(nobody.FromAddress, "0.0.0.0") << kindName(kind);

        EXPECT_EQ(ping(kind, "LocalHost").kind, ReplyKind::Echo) << kindName(kind);
    }
}

TEST_F(ProbeLab, TheRequestOnTheWireCarriesConsecutiveSequenceNumbers)
{
    setPingGroupRange("0 2147483647");
    int capture = -1;
    onNetSide([&] { capture = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP); });
    ASSERT_GE(capture, 0);

    for (IcmpSocketKind kind : kBothKinds) {
        LinuxIcmpNetwork net(kind);
        TIdIcmpClient client(net, m_clock);
        for (std::uint16_t expected : { 3489, 3490 }) {
            EXPECT_EQ(ping(kind, "192.0.2.1", &client).SequenceNumber, expected) << kindName(kind);
            // The network side sees the request as it left the laptop.
            std::vector<std::uint8_t> seen;
            for (;;) {
                pollfd p { capture, POLLIN, 0 };
                ASSERT_EQ(::poll(&p, 1, 2000), 1) << "no request seen";
                std::uint8_t buf[1024];
                const ssize_t n = ::recv(capture, buf, sizeof buf, 0);
                ASSERT_GT(n, 0);
                const std::size_t h = static_cast<std::size_t>(buf[0] & 0xf) * 4;
                if (buf[h] == 8) {
                    seen.assign(buf + h, buf + n);
                    break;
                }
            }
            ASSERT_EQ(seen.size(), 52u);
            EXPECT_EQ(seen[6] | seen[7] << 8, expected) << kindName(kind);
            EXPECT_EQ(internetChecksum(seen), 0);
            EXPECT_EQ(std::string(seen.begin() + 20, seen.end()), std::string(32, 'E'));
            if (kind == IcmpSocketKind::Raw) { // a ping socket's identifier is the kernel's
                EXPECT_EQ(seen[4] | seen[5] << 8, ::getpid() & 0xffff);
            }
        }
    }
    ::close(capture);
}

TEST_F(ProbeLab, TheProbeShowsTimesTimeOutsAndInvalid)
{
    LinuxIcmpNetwork net;
    SteadyTickClock clock;
    LiveSnapshot snapshot;
    PlainDispatcher gui;
    RecordingView view;
    NetworkProbe probe(net, clock, snapshot, gui, view);

    LiveValues v;
    v.gatewayInForce = "192.0.2.1";
    v.dnsInForce = "192.0.2.53";
    snapshot.set(v);
    probe.TestNetStatus();
    for (const auto* s : { &view.gateway, &view.dns }) {
        EXPECT_EQ(s->colour, indicator::answered(0).colour);
        EXPECT_TRUE(s->text.size() > 2 && s->text.ends_with("ms")) << s->text;
    }

    v.gatewayInForce = "198.51.100.7";
    v.dnsInForce = "198.18.0.7";
    snapshot.set(v);
    probe.TestNetStatus();
    EXPECT_EQ(view.gateway, indicator::noAnswer());
    EXPECT_EQ(view.dns, indicator::noAnswer());

    v.gatewayInForce = "";
    v.dnsInForce = "";
    snapshot.set(v);
    const auto before = probe.PingServer().sequenceNumber();
    probe.TestNetStatus();
    EXPECT_EQ(view.gateway, indicator::noAddress());
    EXPECT_EQ(view.dns, indicator::noAddress());
    EXPECT_EQ(probe.PingServer().sequenceNumber(), before); // nothing was sent
}

// An ordinary user cannot open a raw socket; the ping socket stands in where
// ping_group_range lets the user's group, and when it does not, the probe
// fails as an exchange error: the gateway indicator stays at "测试".
TEST_F(ProbeLab, AnUnprivilegedUserFallsBackToThePingSocket)
{
    enum : int { kEcho = 10, kRawOpened, kOther, kOpenFailedTesting, kNoFailure };
    const auto runAsNobody = [](bool allowed) {
        setPingGroupRange(allowed ? "65534 65534" : "1 0");
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(1);
            if (::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP) >= 0)
                ::_exit(kRawOpened);
            LinuxIcmpNetwork net;
            SteadyTickClock clock;
            LiveSnapshot snapshot;
            LiveValues v;
            v.gatewayInForce = "192.0.2.1";
            v.dnsInForce = "192.0.2.53";
            snapshot.set(v);
            PlainDispatcher gui;
            RecordingView view;
            NetworkProbe probe(net, clock, snapshot, gui, view);
            try {
                probe.TestNetStatus();
            } catch (const std::system_error&) {
                ::_exit(view.gateway == indicator::testing() && view.dns == indicator::reset()
                        ? kOpenFailedTesting
                        : kOther);
            } catch (...) {
                ::_exit(kOther);
            }
            ::_exit(view.gateway.text.ends_with("ms") && view.dns.text.ends_with("ms") ? kEcho : kNoFailure);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(runAsNobody(true), kEcho);
    EXPECT_EQ(runAsNobody(false), kOpenFailedTesting);
}
