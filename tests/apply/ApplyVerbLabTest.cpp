// `tarnwick apply` in the lab with the real netsh: static -> DHCP (the lab's
// dnsmasq) -> static -> DHCP leaves nothing stale, and --dry-run changes nothing.
#include "LabState.h"
#include "Process.h"
#include "TempDir.h"
#include "TestPaths.h"
#include "shortcuts/QuickSwitchFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

using namespace tarnwick::test;
using namespace tarnwick::test::lab;

namespace
{

class ApplyVerbLab : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(lan().empty()) << "runs inside scripts/lab";
        runProcess({ "ip", "-4", "addr", "flush", "dev", lan() });
        std::filesystem::create_directories(home.path() / "registry");
    }
    ProcessResult apply(const std::vector<std::string>& args)
    {
        std::vector<std::string> argv { binPath("tarnwick"), "apply", "--config",
            (std::filesystem::path(kDataDir) / "config-lab.xml").string() };
        argv.insert(argv.end(), args.begin(), args.end());
        return runProcess(argv, { { "TARNWICK_HOME", home.path().string() } });
    }
    // Without a session bus in the runtime folder the proxy goes to the
    // registry store (the lab has no desktop session).
    std::map<std::string, std::string> noDesktop() const
    {
        return { { "TARNWICK_HOME", home.path().string() }, { "XDG_RUNTIME_DIR", home.path().string() } };
    }
    TempDir home;
};

std::string readWhole(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool leased()
{
    const auto a = addresses();
    return a.size() == 1 && a[0].dynamic && a[0].text.rfind("192.0.2.1", 0) == 0;
}

} // namespace

TEST_F(ApplyVerbLab, StaticDhcpStaticDhcpLeavesNothingStale)
{
    auto r = apply({ "lab-static" });
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("设置完毕！\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("gateway\t"), std::string::npos) << "the probe's results follow the log";
    EXPECT_EQ(addressTexts(), std::vector<std::string> { "192.0.2.10/24" });
    EXPECT_EQ(defaultRoutes(), std::vector<std::string> { "192.0.2.1 1" });
    EXPECT_EQ(nameservers(), (std::vector<std::string> { "192.0.2.53", "192.0.2.54" }));
    EXPECT_NE(r.out.find("gateway\t"), std::string::npos);

    r = apply({ "--id", "1" });
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_TRUE(leased()) << addressTexts().size();
    EXPECT_NE(r.out.find("设置完毕！\n已从 DHCP 获得地址："
                  + addresses()[0].text.substr(0, addresses()[0].text.find('/')) + "/255.255.255.0\n"),
        std::string::npos)
        << "the leased address follows the last line: " << r.out;
    EXPECT_EQ(clientInstances(), 1);

    r = apply({ "lab-two" });
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(addressTexts(), (std::vector<std::string> { "10.1.0.5/16", "192.0.2.20/24" }));
    EXPECT_EQ(defaultRoutes(), (std::vector<std::string> { "10.1.0.1 2", "192.0.2.1 1" }));
    EXPECT_EQ(nameservers(), std::vector<std::string> { "192.0.2.53" });
    EXPECT_EQ(clientInstances(), 0) << "no client left from the DHCP step";

    r = apply({ "lab-dhcp" });
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_TRUE(leased());
    EXPECT_EQ(clientInstances(), 1);
}

TEST_F(ApplyVerbLab, DryRunShowsTheCommandsAndChangesNothing)
{
    ASSERT_EQ(apply({ "lab-static" }).exitCode, 0);
    const auto addressesBefore = addressTexts();
    const auto routesBefore = defaultRoutes();
    const auto resolverBefore = resolvConf();
    const auto stateBefore = stateText();
    const auto r = apply({ "--dry-run", "lab-two" });
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(
        r.out.find(R"(> netsh interface ip add address name="lan0" addr="10.1.0.5" mask="255.255.0.0")"),
        std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("gateway\t"), std::string::npos) << "no probe on a dry run";
    EXPECT_EQ(addressTexts(), addressesBefore);
    EXPECT_EQ(defaultRoutes(), routesBefore);
    EXPECT_EQ(resolvConf(), resolverBefore);
    EXPECT_EQ(stateText(), stateBefore);
}

TEST_F(ApplyVerbLab, UnknownConfigurationsAdaptersAndFilesRunNothing)
{
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* says;
    };
    const Case cases[] = {
        { { "--id", "99" }, 1, "no configuration with ID 99" },
        { { "nobody" }, 1, "no configuration named nobody" },
        { { "--adapter", "5", "lab-static" }, 1, "no adapter 5" },
        { {}, 64, "usage: tarnwick apply" },
        { { "--id" }, 64, "usage: tarnwick apply" },
        { { "lab-static", "lab-two" }, 64, "usage: tarnwick apply" },
    };
    const auto before = addressTexts();
    for (const Case& c : cases) {
        const auto r = apply(c.args);
        EXPECT_EQ(r.exitCode, c.status) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "") << c.says;
    }
    const auto missing
        = runProcess({ binPath("tarnwick"), "apply", "--config", "/nonexistent/config.xml", "x" },
            { { "TARNWICK_HOME", home.path().string() } });
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("no configuration file at /nonexistent/config.xml"), std::string::npos);
    EXPECT_EQ(addressTexts(), before);
}

// A quick-switch file names the configuration by ID and the adapter by its
// position; one that names a configuration since deleted runs nothing.
TEST_F(ApplyVerbLab, AQuickSwitchFileSwitchesToItsConfiguration)
{
    const auto file = [&](const char* name, const std::string& cfgId, int cardId) {
        const auto path = home.path() / name;
        tarnwick::writeQuickSwitchFile(path, cfgId, cardId);
        return path.string();
    };
    auto r = apply({ file("切换到[lab-static].twk", "2", 0) });
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(addressTexts(), std::vector<std::string> { "192.0.2.10/24" });
    EXPECT_EQ(defaultRoutes(), std::vector<std::string> { "192.0.2.1 1" });

    // An adapter position that no longer exists: the stored adapter.
    r = apply({ file("two.twk", "3", 7) });
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(addressTexts(), (std::vector<std::string> { "10.1.0.5/16", "192.0.2.20/24" }));

    const auto before = addressTexts();
    r = apply({ file("gone.twk", "99", 0) });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("no configuration with ID 99"), std::string::npos) << r.err;
    const auto bad = home.path() / "bad.twk";
    std::ofstream(bad) << "<?xml version=\"1.0\"?><ConfigBox/>";
    r = apply({ bad.string() });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(bad.string()), std::string::npos) << r.err;
    EXPECT_EQ(addressTexts(), before);
}

// A value netsh would refuse stops the whole switch before its first
// command: nothing changes, the message names the field and the value.
TEST_F(ApplyVerbLab, ABadValueChangesNothing)
{
    ASSERT_EQ(apply({ "lab-static" }).exitCode, 0);
    const auto addressesBefore = addressTexts();
    const auto resolverBefore = resolvConf();
    std::string config = readWhole(std::filesystem::path(kDataDir) / "config-lab.xml");
    const auto replaceOnce = [&](const std::string& from, const std::string& to) {
        const auto at = config.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        config.replace(at, from.size(), to);
    };
    replaceOnce("<IP1>192.0.2.20</IP1>", "<IP1>999.1.1.9</IP1>");
    const auto path = home.path() / "config.xml";
    std::ofstream(path, std::ios::binary) << config;
    const auto r = runProcess({ binPath("tarnwick"), "apply", "--config", path.string(), "lab-two" },
        { { "TARNWICK_HOME", home.path().string() } });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
        "tarnwick: apply: IP地址“999.1.1.9”不是有效的 IPv4 地址：应为四段 0 到 255 的十进制数，如 "
        "192.168.0.1。未作任何更改。\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(addressTexts(), addressesBefore);
    EXPECT_EQ(resolvConf(), resolverBefore);
}

// The sample's office configuration sets the proxy: on a fresh account the
// store has no Internet Settings key yet, and the switch still completes.
TEST_F(ApplyVerbLab, TheSamplesProxyIsWrittenOnAFreshAccount)
{
    const auto samples = std::filesystem::path(kScriptsDir).parent_path() / "samples" / "config.xml";
    const auto r
        = runProcess({ binPath("tarnwick"), "apply", "--config", samples.string(), "办公室" }, noDesktop());
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("更改IE代理服务器设置...  \n确定。\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("设置完毕！\n"), std::string::npos) << r.out;
    const auto status = runProcess({ binPath("tarnwick"), "status" }, noDesktop());
    EXPECT_NE(status.out.find("proxy_enabled=1\n"), std::string::npos) << status.out;
    EXPECT_NE(status.out.find("proxy_host=10.0.0.8\n"), std::string::npos) << status.out;
}
