// The plan of a switch: from one reading of the values in force and the
// fields as typed, which steps run, in which order, with which command lines.
#include "apply/ApplyPlan.h"

#include "WorkedExample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace tarnwick;

namespace
{

// Static 192.168.0.5/24 via 192.168.0.1, DNS 192.168.0.1, proxy off.
LiveValues staticNow()
{
    return test::workedExampleNow();
}

// A lease of the same values.
LiveValues leaseNow()
{
    LiveValues v = staticNow();
    v.mode = "DHCP";
    v.config.fixedIp = false;
    v.config.fixedDns = false;
    return v;
}

// Each step as "name", or "name: command line", or "name: on host|port".
std::vector<std::string> describe(const ApplyPlan& plan)
{
    std::vector<std::string> out;
    for (const ApplyStep& s : plan.steps) {
        std::string line = s.name();
        if (!s.commandLine.empty())
            line += ": " + s.commandLine;
        if (s.proxy)
            line += std::string(": ") + (s.proxy->on ? "on " : "off ") + s.proxy->host + "|" + s.proxy->port;
        out.push_back(line);
    }
    return out;
}

std::string pad(std::string text)
{
    text.resize(std::max<std::size_t>(26, text.size()), ' ');
    return text;
}

const std::string kSet = R"(set address name="lan0")";
const std::string kAdd = R"(add address name="lan0")";

std::string netsh(const std::string& rest)
{
    return "netsh interface ip " + rest;
}

} // namespace

TEST(ApplyPlan, StepsFollowWhatDiffersFromTheValuesInForce)
{
    struct Case {
        const char* name;
        std::function<LiveValues()> now;
        std::function<void(TcpIpConfig&)> change; // on the fields equal to the values in force
        std::vector<std::string> steps;
    };
    const Case cases[] = {
        { "all in force: no command", staticNow, [](TcpIpConfig&) {},
            { "comparison", "announce", "addresses done" } },
        { "blanks around typed values change nothing", staticNow,
            [](TcpIpConfig& f) {
                f.ip[0] = " 192.168.0.5\t";
                f.dns[0] = "192.168.0.1 ";
            },
            { "comparison", "announce", "addresses done" } },
        { "a new address: one command with the gateway", staticNow,
            [](TcpIpConfig& f) { f.ip[0] = " 192.168.0.9 "; },
            { "comparison", "announce",
                "static address: "
                    + netsh(kSet
                        + R"( source="static" addr="192.168.0.9" mask="255.255.255.0" gateway="192.168.0.1" gwmetric=1)"),
                "addresses done" } },
        { "only the gateway: the same one command", staticNow,
            [](TcpIpConfig& f) { f.gateway[0] = "192.168.0.254"; },
            { "comparison", "announce",
                "static address: "
                    + netsh(kSet
                        + R"( source="static" addr="192.168.0.5" mask="255.255.255.0" gateway="192.168.0.254" gwmetric=1)"),
                "addresses done" } },
        { "the gateway cleared: the command without one", staticNow,
            [](TcpIpConfig& f) { f.gateway[0] = ""; },
            { "comparison", "announce",
                "static address: "
                    + netsh(kSet + R"( source="static" addr="192.168.0.5" mask="255.255.255.0")"),
                "addresses done" } },
        { "static to DHCP: the address only, the DNS stays", staticNow,
            [](TcpIpConfig& f) { f.fixedIp = false; },
            { "comparison", "announce", "dhcp address: " + netsh(kSet + R"( source="dhcp")"),
                "addresses done" } },
        { "static to DHCP with automatic DNS", staticNow,
            [](TcpIpConfig& f) {
                f.fixedIp = false;
                f.fixedDns = false;
            },
            { "comparison", "announce", "dhcp address: " + netsh(kSet + R"( source="dhcp")"),
                "addresses done", "dhcp dns: " + netsh(R"(set dns name="lan0" source="dhcp")") } },
        { "a lease to DHCP again: both commands all the same", leaseNow,
            [](TcpIpConfig& f) {
                f.fixedIp = false;
                f.fixedDns = false;
            },
            { "comparison", "announce", "dhcp address: " + netsh(kSet + R"( source="dhcp")"),
                "addresses done", "dhcp dns: " + netsh(R"(set dns name="lan0" source="dhcp")") } },
        { "a lease to static fields that repeat it: address and DNS", leaseNow,
            [](TcpIpConfig& f) {
                f.fixedIp = true;
                f.fixedDns = true;
            },
            { "comparison", "announce",
                "static address: "
                    + netsh(kSet
                        + R"( source="static" addr="192.168.0.5" mask="255.255.255.0" gateway="192.168.0.1" gwmetric=1)"),
                "addresses done",
                "dns: " + netsh(R"(set dns name="lan0" source="static" addr="192.168.0.1" )") } },
        { "a second address: address, second address, then the gateway", staticNow,
            [](TcpIpConfig& f) {
                f.ip[1] = "10.0.0.5";
                f.mask[1] = "255.0.0.0";
            },
            { "comparison", "announce",
                "first address: "
                    + netsh(kSet + R"( source="static" addr="192.168.0.5" mask="255.255.255.0")"),
                "second address: " + netsh(kAdd + R"( addr="10.0.0.5" mask="255.0.0.0")"),
                "gateway: " + netsh(kSet + R"( gateway="192.168.0.1" gwmetric=1)"), "addresses done" } },
        { "three addresses and two gateways", staticNow,
            [](TcpIpConfig& f) {
                f.ip[0] = "192.168.0.9";
                f.ip[1] = "10.1.0.5";
                f.mask[1] = "255.255.0.0";
                f.ip[2] = "172.16.5.5";
                f.mask[2] = "255.255.255.0";
                f.gateway[1] = "10.1.0.1";
            },
            { "comparison", "announce",
                "first address: "
                    + netsh(kSet + R"( source="static" addr="192.168.0.9" mask="255.255.255.0")"),
                "second address: " + netsh(kAdd + R"( addr="10.1.0.5" mask="255.255.0.0")"),
                "third address: " + netsh(kAdd + R"( addr="172.16.5.5" mask="255.255.255.0")"),
                "gateway: " + netsh(kSet + R"( gateway="192.168.0.1" gwmetric=1)"),
                "second gateway: " + netsh(kAdd + R"( gateway="10.1.0.1" gwmetric=2)"), "addresses done" } },
        { "a new address, no first gateway but a second one", staticNow,
            [](TcpIpConfig& f) {
                f.ip[0] = "192.168.0.9";
                f.gateway[0] = " ";
                f.gateway[1] = "192.168.0.2";
            },
            { "comparison", "announce",
                "first address: "
                    + netsh(kSet + R"( source="static" addr="192.168.0.9" mask="255.255.255.0")"),
                "second gateway: " + netsh(kAdd + R"( gateway="192.168.0.2" gwmetric=2)"),
                "addresses done" } },
        { "extra addresses in force, nothing changed: no address step",
            [] {
                LiveValues v = staticNow();
                v.config.ip[1] = "10.0.0.5";
                v.config.mask[1] = "255.0.0.0";
                return v;
            },
            [](TcpIpConfig&) {}, { "comparison", "announce", "addresses done" } },
        { "extra addresses in force, only the gateway changed: the gateway alone",
            [] {
                LiveValues v = staticNow();
                v.config.ip[1] = "10.0.0.5";
                v.config.mask[1] = "255.0.0.0";
                return v;
            },
            [](TcpIpConfig& f) { f.gateway[0] = "192.168.0.254"; },
            { "comparison", "announce", "gateway: " + netsh(kSet + R"( gateway="192.168.0.254" gwmetric=1)"),
                "addresses done" } },
        { "a second gateway in force, the first changed: both set again",
            [] {
                LiveValues v = staticNow();
                v.config.gateway[1] = "192.168.0.2";
                return v;
            },
            [](TcpIpConfig& f) { f.gateway[0] = "192.168.0.254"; },
            { "comparison", "announce", "gateway: " + netsh(kSet + R"( gateway="192.168.0.254" gwmetric=1)"),
                "second gateway: " + netsh(kAdd + R"( gateway="192.168.0.2" gwmetric=2)"),
                "addresses done" } },
        { "one DNS server changed", staticNow, [](TcpIpConfig& f) { f.dns[0] = "192.168.0.53"; },
            { "comparison", "announce", "addresses done",
                "dns: " + netsh(R"(set dns name="lan0" source="static" addr="192.168.0.53" )") } },
        { "two DNS servers", staticNow, [](TcpIpConfig& f) { f.dns[1] = "192.168.0.54"; },
            { "comparison", "announce", "addresses done",
                "dns: " + netsh(R"(set dns name="lan0" source="static" addr="192.168.0.1" )"),
                "second dns: " + netsh(R"(add dns name="lan0"  addr="192.168.0.54" index=2)") } },
        { "four DNS servers", staticNow,
            [](TcpIpConfig& f) {
                f.dns = { "192.168.0.53", "192.168.0.54", "10.1.0.53", "10.1.0.54" };
            },
            { "comparison", "announce", "addresses done",
                "dns: " + netsh(R"(set dns name="lan0" source="static" addr="192.168.0.53" )"),
                "second dns: " + netsh(R"(add dns name="lan0"  addr="192.168.0.54" index=2)"),
                "third dns: " + netsh(R"(add dns name="lan0"  addr="10.1.0.53" index=3)"),
                "fourth dns: " + netsh(R"(add dns name="lan0"  addr="10.1.0.54" index=4)") } },
        { "a gap among DNS servers keeps the later index", staticNow,
            [](TcpIpConfig& f) { f.dns[2] = "10.1.0.53"; },
            { "comparison", "announce", "addresses done",
                "dns: " + netsh(R"(set dns name="lan0" source="static" addr="192.168.0.1" )"),
                "third dns: " + netsh(R"(add dns name="lan0"  addr="10.1.0.53" index=3)") } },
        { "an empty first DNS server clears them", staticNow, [](TcpIpConfig& f) { f.dns[0] = ""; },
            { "comparison", "announce", "addresses done",
                "dns: " + netsh(R"(set dns name="lan0" source="static" addr="" )") } },
        { "automatic DNS from static DNS", staticNow, [](TcpIpConfig& f) { f.fixedDns = false; },
            { "comparison", "announce", "addresses done",
                "dhcp dns: " + netsh(R"(set dns name="lan0" source="dhcp")") } },
        { "a proxy that takes part and differs is written last", staticNow,
            [](TcpIpConfig& f) {
                f.proxyTakesPart = true;
                f.proxyOn = true;
                f.proxyHost = "proxy.lan";
                f.proxyPort = "3128";
                f.dns[0] = "192.168.0.53";
            },
            { "comparison", "announce", "addresses done",
                "dns: " + netsh(R"(set dns name="lan0" source="static" addr="192.168.0.53" )"),
                "proxy: on proxy.lan|3128" } },
        { "the proxy in force is left",
            [] {
                LiveValues v = staticNow();
                v.config.proxyOn = true;
                v.config.proxyHost = "proxy.lan";
                v.config.proxyPort = "3128";
                return v;
            },
            [](TcpIpConfig& f) { f.proxyTakesPart = true; }, { "comparison", "announce", "addresses done" } },
        { "proxy texts are compared as typed",
            [] {
                LiveValues v = staticNow();
                v.config.proxyHost = "proxy.lan";
                v.config.proxyPort = "3128";
                return v;
            },
            [](TcpIpConfig& f) {
                f.proxyTakesPart = true;
                f.proxyPort = "3128 ";
            },
            { "comparison", "announce", "addresses done", "proxy: off proxy.lan|3128 " } },
        { "a proxy that takes no part is not touched", staticNow,
            [](TcpIpConfig& f) {
                f.proxyOn = true;
                f.proxyHost = "proxy.lan";
            },
            { "comparison", "announce", "addresses done" } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const LiveValues now = c.now();
        TcpIpConfig f = now.config;
        c.change(f);
        const ApplyPlan plan = planApply(now, f, "lan0");
        EXPECT_FALSE(plan.refusal);
        EXPECT_EQ(describe(plan), c.steps);
        EXPECT_EQ(plan.toDhcp, !f.fixedIp);
    }
}

// The worked example step by step: the lines each adds, where it tidies the
// log first and where it moves the bar.
TEST(ApplyPlan, EachStepCarriesItsLinesAsTheLogShowsThem)
{
    const LiveValues now = staticNow();
    TcpIpConfig f = now.config;
    f.ip[0] = "192.168.0.9";
    f.ip[1] = "10.0.0.5";
    f.mask[1] = "255.0.0.0";
    f.dns[1] = "192.168.0.54";
    const ApplyPlan plan = planApply(now, f, "lan0");
    struct Expected {
        std::string name;
        bool tidyFirst;
        std::vector<std::string> lines;
        std::optional<int> progress;
    };
    const Expected expected[] = {
        { "comparison", false,
            { pad("IP:    192.168.0.5") + "->     192.168.0.9",
                pad("Mask:  255.255.255.0") + "->     255.255.255.0", pad("IP2:") + "->     10.0.0.5",
                pad("Mask2:") + "->     255.0.0.0", pad("Gate:  192.168.0.1") + "->     192.168.0.1",
                pad("DNS1:  192.168.0.1") + "->     192.168.0.1", pad("DNS2:") + "->     192.168.0.54" },
            10 },
        { "announce", false, { "", "正在更改网络配置...", "" }, std::nullopt },
        { "first address", false, { "更改IP...      " }, std::nullopt },
        { "second address", true, { "更改IP2...     " }, std::nullopt },
        { "gateway", true, { "更改网关...    " }, std::nullopt },
        { "addresses done", true, { "" }, 60 },
        { "dns", true, { "更改DNS... " }, std::nullopt },
        { "second dns", true, { "更改DNS2...  " }, std::nullopt },
    };
    ASSERT_EQ(plan.steps.size(), std::size(expected));
    for (std::size_t i = 0; i < plan.steps.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        const ApplyStep& s = plan.steps[i];
        EXPECT_EQ(s.name(), expected[i].name);
        EXPECT_EQ(s.tidyFirst, expected[i].tidyFirst);
        EXPECT_EQ(s.lines, expected[i].lines);
        EXPECT_EQ(s.progress, expected[i].progress);
        EXPECT_FALSE(s.proxy);
        EXPECT_TRUE(s.linesAfter.empty());
    }
}

TEST(ApplyPlan, LeavingALeaseSaysItMayTakeLongAndTheDhcpRowsSayDhcp)
{
    TcpIpConfig f = staticNow().config;
    const ApplyPlan fromLease = planApply(leaseNow(), f, "lan0");
    ASSERT_GE(fromLease.steps.size(), 2u);
    EXPECT_EQ(fromLease.steps[1].lines[1], "正在更改网络配置，可能需要相当长的时间，请耐心等候...");

    f.fixedIp = false;
    f.fixedDns = false;
    const ApplyPlan toLease = planApply(staticNow(), f, "lan0");
    EXPECT_EQ(toLease.steps[0].lines,
        (std::vector<std::string> { pad("IP:    192.168.0.5") + "->     DHCP",
            pad("Mask:  255.255.255.0") + "->     DHCP", pad("Gate:  192.168.0.1") + "->     DHCP",
            pad("DNS1:  192.168.0.1") + "->     Auto" }));
    EXPECT_EQ(toLease.steps[1].lines[1], "正在更改网络配置...") << "going to a lease waits on nothing";
    EXPECT_TRUE(toLease.toDhcp);
}

TEST(ApplyPlan, TheProxyStepSaysDoneOnceWritten)
{
    TcpIpConfig f = staticNow().config;
    f.proxyTakesPart = true;
    f.proxyOn = true;
    const ApplyPlan plan = planApply(staticNow(), f, "lan0");
    const ApplyStep& proxy = plan.steps.back();
    EXPECT_STREQ(proxy.name(), "proxy");
    EXPECT_EQ(proxy.lines, std::vector<std::string> { "更改IE代理服务器设置...  " });
    EXPECT_EQ(proxy.linesAfter, std::vector<std::string> { "确定。" });
    EXPECT_TRUE(proxy.commandLine.empty());
}

TEST(ApplyPlan, ABadValueRefusesThePlanWithNoSteps)
{
    TcpIpConfig f = staticNow().config;
    f.dns[0] = "192.168.0.53"; // a change that must not run either
    f.ip[1] = "10.0.0.5"; // without its mask
    const ApplyPlan plan = planApply(staticNow(), f, "lan0");
    EXPECT_EQ(plan.refusal, "IP地址2“10.0.0.5”已填写，子网掩码2却为空。未作任何更改。");
    EXPECT_TRUE(plan.steps.empty());
}

// The argument lists the bundled netsh receives: a connection name with a
// blank stays one argument, an empty DNS server an empty value.
TEST(ApplyPlan, CommandLinesSplitIntoTheArgumentsNetshGets)
{
    TcpIpConfig f = staticNow().config;
    f.fixedIp = false;
    f.dns[0] = "";
    const ApplyPlan plan = planApply(staticNow(), f, "本地连接 2");
    std::vector<std::vector<std::string>> argvs;
    for (const ApplyStep& s : plan.steps) {
        if (!s.commandLine.empty())
            argvs.push_back(s.argv());
    }
    EXPECT_EQ(argvs,
        (std::vector<std::vector<std::string>> {
            { "netsh", "interface", "ip", "set", "address", "name=本地连接 2", "source=dhcp" },
            { "netsh", "interface", "ip", "set", "dns", "name=本地连接 2", "source=static", "addr=" } }));
}
