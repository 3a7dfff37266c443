// `tarnwick apply --try` in the lab with the real netsh, on a link of its own
// and on one NetworkManager manages (scripts/lab run --nm): unconfirmed, the
// settings before the switch come back exactly, after the time and not
// before; confirmed, the switch stays; a restore that cannot happen is said.
#include "Interactive.h"
#include "LabState.h"
#include "Process.h"
#include "TempDir.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <sstream>
#include <thread>

using namespace tarnwick::test;
using namespace tarnwick::test::lab;
using namespace std::chrono_literals;

namespace
{

const char* const kPrompt = "按回车键保留这些设置，";

// What a switch can change, as the kernel and the resolver file have it.
struct LinkState {
    std::vector<std::string> addresses;
    std::vector<std::string> routes;
    std::vector<std::string> servers;
    bool operator==(const LinkState&) const = default;
};

std::ostream& operator<<(std::ostream& os, const LinkState& s)
{
    for (const auto* list : { &s.addresses, &s.routes, &s.servers }) {
        for (const auto& x : *list)
            os << x << ", ";
        os << "| ";
    }
    return os;
}

LinkState now()
{
    return { addressTexts(), defaultRoutes(), nameservers() };
}

bool leased()
{
    const auto a = addresses();
    return a.size() == 1 && a[0].dynamic;
}

class TryVerbLab : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(lan().empty()) << "runs inside scripts/lab";
        std::filesystem::create_directories(home.path() / "registry");
    }
    std::vector<std::string> argv(const std::vector<std::string>& args) const
    {
        std::vector<std::string> v { binPath("tarnwick"), "apply", "--config",
            (std::filesystem::path(kDataDir) / "config-try.xml").string() };
        v.insert(v.end(), args.begin(), args.end());
        return v;
    }
    std::map<std::string, std::string> env() const { return { { "TARNWICK_HOME", home.path().string() } }; }
    ProcessResult apply(const std::vector<std::string>& args) { return runProcess(argv(args), env()); }
    bool networkManager() const { return !lab::env("TARNWICK_LAB_NM").empty(); }
    TempDir home;
};

} // namespace

TEST_F(TryVerbLab, UnconfirmedPutsBackExactlyWhatWasThereAfterTheTime)
{
    ASSERT_EQ(apply({ "lab-static" }).exitCode, 0);
    const LinkState a = now();
    ASSERT_EQ(a.addresses, std::vector<std::string> { "192.0.2.10/24" });

    Interactive run(argv({ "--try", "2", "lab-silent" }), env());
    ASSERT_TRUE(run.waitForOutput(kPrompt, 60s));
    const auto prompted = std::chrono::steady_clock::now();
    EXPECT_EQ(addressTexts(), std::vector<std::string> { "192.0.2.40/24" }) << "B is in force while it waits";
    EXPECT_EQ(defaultRoutes(), std::vector<std::string> { "192.0.2.99 1" });
    std::this_thread::sleep_for(1s);
    EXPECT_FALSE(run.ended()) << "nothing is put back before the time";
    const ProcessResult r = run.finish(60s);
    EXPECT_GE(std::chrono::steady_clock::now() - prompted, 2s);
    EXPECT_EQ(r.exitCode, 3) << r.out << r.err;
    EXPECT_NE(r.out.find("2 秒后自动恢复原设置\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n恢复原设置...\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("已恢复原设置。\n"), std::string::npos) << r.out;
    EXPECT_EQ(now(), a);
}

TEST_F(TryVerbLab, ConfirmedKeepsTheSwitch)
{
    ASSERT_EQ(apply({ "lab-static" }).exitCode, 0);
    Interactive run(argv({ "--try", "30", "lab-silent" }), env());
    ASSERT_TRUE(run.waitForOutput(kPrompt, 60s));
    run.write("\n");
    const ProcessResult r = run.finish(60s);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("已保留这些设置。"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("恢复原设置..."), std::string::npos) << r.out;
    EXPECT_EQ(addressTexts(), std::vector<std::string> { "192.0.2.40/24" });
    EXPECT_EQ(defaultRoutes(), std::vector<std::string> { "192.0.2.99 1" });
}

TEST_F(TryVerbLab, FromALeaseTheEndOfInputGetsALeaseAgain)
{
    ASSERT_EQ(apply({ "lab-dhcp" }).exitCode, 0);
    ASSERT_TRUE(leased()) << now();
    const std::vector<std::string> leaseServers = nameservers();

    Interactive run(argv({ "--try", "30", "lab-static" }), env());
    ASSERT_TRUE(run.waitForOutput(kPrompt, 60s));
    EXPECT_EQ(addressTexts(), std::vector<std::string> { "192.0.2.10/24" });
    run.closeInput();
    const ProcessResult r = run.finish(60s);
    EXPECT_EQ(r.exitCode, 3) << r.out << r.err;
    EXPECT_TRUE(leased()) << now();
    for (const auto& a : addressTexts())
        EXPECT_NE(a, "192.0.2.10/24") << "no static address left";
    EXPECT_EQ(nameservers(), leaseServers);
    if (!networkManager()) {
        EXPECT_EQ(clientInstances(), 1);
    }
}

// The DHCP server stops answering while the user decides: the restore cannot
// get a lease, and says what is in force instead of "restored".
TEST_F(TryVerbLab, ALeaseThatCannotComeBackIsSaidNotRestored)
{
    ASSERT_EQ(apply({ "lab-dhcp" }).exitCode, 0);
    ASSERT_TRUE(leased()) << now();
    Interactive run(argv({ "--try", "30", "lab-static" }), env());
    ASSERT_TRUE(run.waitForOutput(kPrompt, 60s));
    // The lab's DHCP server lives in the network's namespace.
    const auto pids = runProcess({ "ip", "netns", "pids", lab::env("TARNWICK_LAB_NET_NS") });
    std::istringstream in(pids.out);
    for (int pid = 0; in >> pid;)
        ::kill(pid, SIGKILL);
    run.closeInput();
    const ProcessResult r = run.finish(120s);
    EXPECT_EQ(r.exitCode, 4) << r.out << r.err;
    EXPECT_EQ(r.out.find("已恢复原设置。"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("未能恢复原设置。现在生效的设置：DHCP："), std::string::npos) << r.out;
}

// Settings another tool made come back as they were, the gateway's metric
// included.
TEST_F(TryVerbLab, AnotherToolsGatewayMetricComesBack)
{
    if (networkManager())
        GTEST_SKIP() << "NetworkManager's link is NetworkManager's to set up";
    // Static first (no DHCP client left from before), then another tool's route.
    ASSERT_EQ(apply({ "lab-static" }).exitCode, 0);
    ASSERT_EQ(runProcess({ "ip", "route", "del", "default", "dev", lan() }).exitCode, 0);
    ASSERT_EQ(
        runProcess({ "ip", "route", "add", "default", "via", "192.0.2.1", "dev", lan(), "metric", "50" })
            .exitCode,
        0);
    const LinkState a = now();
    ASSERT_EQ(a.routes, std::vector<std::string> { "192.0.2.1 50" });

    Interactive run(argv({ "--try", "30", "lab-silent" }), env());
    ASSERT_TRUE(run.waitForOutput(kPrompt, 60s));
    run.closeInput();
    const ProcessResult r = run.finish(60s);
    EXPECT_EQ(r.exitCode, 3) << r.out << r.err;
    EXPECT_EQ(now(), a);
}
