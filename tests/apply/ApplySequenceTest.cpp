// The apply sequence over a scripted command runner and fixed values in
// force: which command lines run, in which order, and the exact log.
#include "apply/ApplySequence.h"
#include "apply/PlainDispatcher.h"
#include "apply/TBMDThread.h"

#include "WorkedExample.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>

#include <gtest/gtest.h>

#include <deque>
#include <stdexcept>
#include <system_error>

using namespace tarnwick;

namespace
{

class RecordingView : public ApplyView
{
public:
    void clearLog() override { log.clear(); }
    void appendLine(const std::string& line) override { log.push_back(line); }
    void deleteTrailingBlankLines() override
    {
        while (!log.empty() && log.back().find_first_not_of(" \t\r\n") == std::string::npos)
            log.pop_back();
    }
    void setRetryEnabled(bool enabled) override { retryEnabled = enabled; }
    void setProgress(int position) override { progress.push_back(position); }
    void setProgressVisible(bool visible) override { progressVisible = visible; }
    void setProbeAreaVisible(bool visible) override { probeAreaVisible = visible; }

    std::vector<std::string> log;
    std::vector<int> progress;
    bool retryEnabled = true;
    bool progressVisible = false;
    bool probeAreaVisible = true;
};

class FixedInputs : public ApplyInputs
{
public:
    std::string connectionName() override { return "lan0"; }
    TcpIpConfig fields() override { return form; }
    std::string configurationName() override { return name; }
    TcpIpConfig form;
    std::string name;
};

// Answers each command line like netsh on Windows (blank lines around its
// text), or as scripted.
class ScriptedRunner : public CommandRunner
{
public:
    CommandOutput run(const std::string& commandLine) override
    {
        ran.push_back(commandLine);
        if (!answers.empty()) {
            CommandOutput out = answers.front();
            answers.pop_front();
            return out;
        }
        if (throwAt == ran.size())
            throw std::system_error(ENOENT, std::generic_category(), "cannot start netsh");
        return { { "\r\n确定。\r\n\r\n" }, 0 };
    }
    std::vector<std::string> ran;
    std::deque<CommandOutput> answers;
    std::size_t throwAt = 0;
};

class RecordingProxy : public ProxySource
{
public:
    ProxyReading read() override { return {}; }
    void write(bool on, const std::string& host, const std::string& port) override
    {
        writes.push_back((on ? "on " : "off ") + host + "|" + port);
    }
    std::vector<std::string> writes;
};

struct Sequence {
    RecordingView view;
    FixedInputs inputs;
    ScriptedRunner runner;
    RecordingProxy proxy;
    LiveSnapshot snapshot;
    PlainDispatcher dispatcher;
    ApplySequence::ReadInForce readInForce; // none: the snapshot stands in
    int probes = 0;
    InterfaceReading probed;

    ApplySequence::Outcome go()
    {
        ApplySequence s(
            inputs, snapshot, view, dispatcher, runner, proxy,
            [this](const InterfaceReading& now) {
                ++probes;
                probed = now;
            },
            readInForce);
        return s.run();
    }
};

using test::workedExampleNow;

TcpIpConfig workedExampleFields()
{
    TcpIpConfig f = workedExampleNow().config;
    f.ip[0] = "192.168.0.9";
    return f;
}

std::string pad(std::string text, std::size_t width = 26)
{
    text.resize(std::max(width, text.size()), ' ');
    return text;
}

const std::string kNetsh = "netsh interface ip ";

} // namespace

TEST(ApplySequence, WorkedExampleRunsExactlyOneCommandAndWritesTheLogAsShown)
{
    Sequence r;
    r.snapshot.set(workedExampleNow());
    r.inputs.form = workedExampleFields();
    EXPECT_EQ(r.go(), ApplySequence::Outcome::Done);
    EXPECT_EQ(r.runner.ran,
        std::vector<std::string> { kNetsh
            + R"(set address name="lan0" source="static" addr="192.168.0.9" mask="255.255.255.0" gateway="192.168.0.1" gwmetric=1)" });
    const std::vector<std::string> log = {
        "连接名称: lan0",
        "",
        pad("IP:    192.168.0.5") + "->     192.168.0.9",
        pad("Mask:  255.255.255.0") + "->     255.255.255.0",
        pad("Gate:  192.168.0.1") + "->     192.168.0.1",
        pad("DNS1:  192.168.0.1") + "->     192.168.0.1",
        "",
        "正在更改网络配置...",
        "",
        "更改 IP ...      ",
        "",
        "确定。",
        "",
        "设置完毕！",
    };
    EXPECT_EQ(r.view.log, log);
    EXPECT_EQ(r.view.progress, (std::vector<int> { 0, 10, 60, 30 }));
    EXPECT_TRUE(r.view.retryEnabled);
    EXPECT_FALSE(r.view.progressVisible);
    EXPECT_TRUE(r.view.probeAreaVisible);
    EXPECT_EQ(r.probes, 1);
    EXPECT_TRUE(r.proxy.writes.empty());
}

// A switch from a stored configuration names it right after the connection,
// the rest of the log as without; a refused one too.
TEST(ApplySequence, AStoredConfigurationIsNamedAfterTheConnection)
{
    for (const bool refused : { false, true }) {
        SCOPED_TRACE(refused ? "refused" : "run");
        Sequence plain;
        Sequence named;
        for (Sequence* r : { &plain, &named }) {
            r->snapshot.set(workedExampleNow());
            r->inputs.form = workedExampleFields();
            if (refused)
                r->inputs.form.ip[0] = "999.1.1.9";
        }
        named.inputs.name = "办公室";
        EXPECT_EQ(plain.go(), named.go());
        std::vector<std::string> expected = plain.view.log;
        ASSERT_FALSE(expected.empty());
        expected.insert(expected.begin() + 1, "配置名称: 办公室");
        EXPECT_EQ(named.view.log, expected);
        EXPECT_EQ(named.runner.ran, plain.runner.ran);
    }
}

TEST(ApplySequence, EachCaseRunsTheCommandsItsFlagsCallFor)
{
    struct Case {
        const char* name;
        std::function<void(LiveValues&, TcpIpConfig&)> change;
        std::vector<std::string> commands;
    };
    const std::string conn = R"(name="lan0")";
    const Case cases[] = {
        { "nothing changed: no command", [](LiveValues&, TcpIpConfig& f) { f.ip[0] = "192.168.0.5"; }, {} },
        { "automatic addressing: C1 and nothing for the gateways",
            [](LiveValues&, TcpIpConfig& f) { f.fixedIp = false; },
            { kNetsh + "set address " + conn + R"( source="dhcp")" } },
        { "only gateway 1 changed: the single command C3",
            [](LiveValues&, TcpIpConfig& f) {
                f.ip[0] = "192.168.0.5";
                f.gateway[0] = "192.168.0.254";
            },
            { kNetsh + "set address " + conn
                + R"( source="static" addr="192.168.0.5" mask="255.255.255.0" gateway="192.168.0.254" gwmetric=1)" } },
        { "address 2 and mask 2: C2, C4, then C5",
            [](LiveValues&, TcpIpConfig& f) {
                f.ip[1] = "10.0.0.5";
                f.mask[1] = "255.0.0.0";
            },
            { kNetsh + "set address " + conn + R"( source="static" addr="192.168.0.9" mask="255.255.255.0")",
                kNetsh + "add address " + conn + R"( addr="10.0.0.5" mask="255.0.0.0")",
                kNetsh + "set address " + conn + R"( gateway="192.168.0.1" gwmetric=1)" } },
        { "gateway 1 empty, gateway 2 filled: C2 and C6",
            [](LiveValues&, TcpIpConfig& f) {
                f.gateway[0] = " ";
                f.gateway[1] = "192.168.0.2";
            },
            { kNetsh + "set address " + conn + R"( source="static" addr="192.168.0.9" mask="255.255.255.0")",
                kNetsh + "add address " + conn + R"( gateway="192.168.0.2" gwmetric=2)" } },
        { "automatic DNS always runs C7",
            [](LiveValues&, TcpIpConfig& f) {
                f.ip[0] = "192.168.0.5";
                f.fixedDns = false;
            },
            { kNetsh + "set dns " + conn + R"( source="dhcp")" } },
        { "manual DNS with an empty first server still runs C8",
            [](LiveValues&, TcpIpConfig& f) {
                f.ip[0] = "192.168.0.5";
                f.dns[0] = "";
            },
            { kNetsh + "set dns " + conn + R"( source="static" addr="" )" } },
        { "a lease whose values the static fields repeat: C3 and C8 all the same",
            [](LiveValues& now, TcpIpConfig& f) {
                now.mode = "DHCP";
                now.config.fixedIp = false;
                now.config.fixedDns = false;
                f.ip[0] = "192.168.0.5";
            },
            { kNetsh + "set address " + conn
                    + R"( source="static" addr="192.168.0.5" mask="255.255.255.0" gateway="192.168.0.1" gwmetric=1)",
                kNetsh + "set dns " + conn + R"( source="static" addr="192.168.0.1" )" } },
        { "a full static switch: C2, C4 twice, C5, C6, C8, C9 three times",
            [](LiveValues&, TcpIpConfig& f) {
                f.ip[1] = "10.1.0.5";
                f.mask[1] = "255.255.0.0";
                f.ip[2] = "172.16.5.5";
                f.mask[2] = "255.255.255.0";
                f.gateway[1] = "10.1.0.1";
                f.dns = { "192.168.0.53", "192.168.0.54", "10.1.0.53", "10.1.0.54" };
            },
            { kNetsh + "set address " + conn + R"( source="static" addr="192.168.0.9" mask="255.255.255.0")",
                kNetsh + "add address " + conn + R"( addr="10.1.0.5" mask="255.255.0.0")",
                kNetsh + "add address " + conn + R"( addr="172.16.5.5" mask="255.255.255.0")",
                kNetsh + "set address " + conn + R"( gateway="192.168.0.1" gwmetric=1)",
                kNetsh + "add address " + conn + R"( gateway="10.1.0.1" gwmetric=2)",
                kNetsh + "set dns " + conn + R"( source="static" addr="192.168.0.53" )",
                kNetsh + "add dns " + conn + R"(  addr="192.168.0.54" index=2)",
                kNetsh + "add dns " + conn + R"(  addr="10.1.0.53" index=3)",
                kNetsh + "add dns " + conn + R"(  addr="10.1.0.54" index=4)" } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Sequence r;
        LiveValues now = workedExampleNow();
        TcpIpConfig f = workedExampleFields();
        c.change(now, f);
        r.snapshot.set(now);
        r.inputs.form = f;
        EXPECT_EQ(r.go(), ApplySequence::Outcome::Done);
        EXPECT_EQ(r.runner.ran, c.commands);
        EXPECT_EQ(std::count(r.view.log.begin(), r.view.log.end(), applytext::kDone), 1);
        EXPECT_EQ(r.probes, 1);
    }
}

TEST(ApplySequence, AutomaticAddressingShowsDhcpAsTheNewValueAndSkipsEmptyRows)
{
    Sequence r;
    r.snapshot.set(workedExampleNow());
    r.inputs.form = workedExampleNow().config;
    r.inputs.form.fixedIp = false;
    r.go();
    const std::vector<std::string> head(r.view.log.begin() + 2, r.view.log.begin() + 6);
    EXPECT_EQ(head,
        (std::vector<std::string> { pad("IP:    192.168.0.5") + "->     DHCP",
            pad("Mask:  255.255.255.0") + "->     DHCP", pad("Gate:  192.168.0.1") + "->     DHCP",
            pad("DNS1:  192.168.0.1") + "->     192.168.0.1" }));
}

TEST(ApplySequence, PaddingCountsGb2312BytesAndLongValuesGetNone)
{
    // 网关 is six bytes of UTF-8 but four of GB2312.
    EXPECT_EQ(statusLine("IP:    ", "网关", "x"), "IP:    网关" + std::string(15, ' ') + "->     x");
    EXPECT_EQ(statusLine("IP:    ", "", "192.0.2.1"), "IP:" + std::string(23, ' ') + "->     192.0.2.1")
        << "the label is trimmed together with the value";
    const std::string longer = "a-very-long-address-text";
    EXPECT_EQ(statusLine("IP:    ", longer, "x"), "IP:    " + longer + "->     x");
}

TEST(ApplySequence, ProxyIsWrittenOnlyWhenItTakesPartAndDiffers)
{
    Sequence r;
    LiveValues now = workedExampleNow();
    now.config.proxyOn = true;
    now.config.proxyHost = "proxy.lan";
    now.config.proxyPort = "3128";
    r.snapshot.set(now);
    r.inputs.form = now.config;
    r.inputs.form.proxyTakesPart = true;
    r.go();
    EXPECT_TRUE(r.proxy.writes.empty()) << "the same proxy is in force";

    r.inputs.form.proxyOn = false;
    r.inputs.form.proxyHost = "10.0.0.1";
    r.inputs.form.proxyPort = " ";
    r.go();
    EXPECT_EQ(r.proxy.writes, std::vector<std::string> { "off 10.0.0.1| " });
    const auto at = std::find(r.view.log.begin(), r.view.log.end(), "更改IE代理服务器设置...  ");
    ASSERT_NE(at, r.view.log.end());
    EXPECT_EQ(*(at + 1), "确定。");

    r.proxy.writes.clear();
    r.inputs.form.proxyTakesPart = false;
    r.go();
    EXPECT_TRUE(r.proxy.writes.empty()) << "a proxy that takes no part is not touched";
}

TEST(ApplySequence, ACommandThatFailsLetsTheRestRunButTheRunSaysSo)
{
    Sequence r;
    r.snapshot.set(workedExampleNow());
    r.inputs.form = workedExampleFields();
    r.inputs.form.fixedDns = false;
    r.runner.answers.push_back(
        { { "需要管理员权限（CAP_NET_ADMIN）才能更改网络配置，未作任何更改。\n" }, 1 });
    EXPECT_EQ(r.go(), ApplySequence::Outcome::NotAllApplied);
    EXPECT_EQ(r.runner.ran.size(), 2u) << "the DNS step ran all the same";
    EXPECT_NE(std::find(r.view.log.begin(), r.view.log.end(),
                  "需要管理员权限（CAP_NET_ADMIN）才能更改网络配置，未作任何更改。"),
        r.view.log.end());
    EXPECT_EQ(r.view.log.back(), applytext::kNotAllApplied);
    EXPECT_EQ(std::count(r.view.log.begin(), r.view.log.end(), applytext::kDone), 0);
    EXPECT_EQ(r.probes, 1);
}

TEST(ApplySequence, ACommandThatCannotStartEndsTheRunWithItsReason)
{
    Sequence r;
    r.snapshot.set(workedExampleNow());
    r.inputs.form = workedExampleFields();
    r.runner.throwAt = 1;
    EXPECT_EQ(r.go(), ApplySequence::Outcome::Stopped);
    EXPECT_EQ(r.view.log.back().rfind("无法运行命令：cannot start netsh", 0), 0u) << r.view.log.back();
    EXPECT_FALSE(r.view.retryEnabled);
    EXPECT_TRUE(r.view.progressVisible);
    EXPECT_FALSE(r.view.probeAreaVisible);
    EXPECT_EQ(r.view.progress.back(), 10);
    EXPECT_EQ(r.probes, 0);
}

TEST(ApplySequence, ConnectionsThatCannotBeAppliedAreRefused)
{
    EXPECT_EQ(refuseConnection(""), std::string(applytext::kNoAdapter));
    EXPECT_EQ(refuseConnection("lan\"0"), std::string(applytext::kQuoteInName));
    EXPECT_EQ(refuseConnection("本地连接 2"), std::nullopt);
}

// On a worker, as the apply window runs it: every change of the window and
// every read of the fields is handed to this thread, which renews the
// snapshot between hand-overs as the status timer does. Run under
// ThreadSanitizer in CI.
TEST(ApplySequence, OnAWorkerEveryWindowChangeIsHandedOverInOrder)
{
    Sequence r;
    r.snapshot.set(workedExampleNow());
    r.inputs.form = workedExampleFields();
    r.inputs.form.fixedDns = false;
    TBMDThread worker(r.dispatcher);
    std::atomic<bool> done = false;
    ApplySequence sequence(r.inputs, r.snapshot, r.view, r.dispatcher, r.runner, r.proxy,
        [&](const InterfaceReading&) { ++r.probes; });
    worker.SetOnExecute([&](TBMDThread&) {
        sequence.run();
        done = true;
    });
    worker.Start();
    int renewed = 0;
    while (worker.IsRunning()) {
        r.snapshot.update([&](LiveValues& v) { v.config.dns[1] = std::to_string(++renewed); });
        if (r.dispatcher.runPending() == 0)
            std::this_thread::yield();
    }
    EXPECT_TRUE(done.load());
    EXPECT_EQ(r.view.log.back(), "设置完毕！");
    EXPECT_EQ(r.runner.ran.size(), 2u);
    EXPECT_EQ(r.probes, 1);
}

namespace
{

// Runs each hand-over at once and then renews the values in force, as a
// status refresh between any two hand-overs may; counts the hand-overs.
class RefreshingDispatcher : public Dispatcher
{
public:
    void invoke(std::function<void()> action) override
    {
        action();
        ++handOvers;
        if (afterEach)
            afterEach(handOvers);
    }
    void serveUntil(const std::function<bool()>&) override { }
    int handOvers = 0;
    std::function<void(int)> afterEach;
};

class CountingInputs : public ApplyInputs
{
public:
    explicit CountingInputs(const RefreshingDispatcher& d)
        : m_dispatcher(d)
    {
    }
    std::string connectionName() override
    {
        readAt.push_back(m_dispatcher.handOvers);
        return "lan0";
    }
    TcpIpConfig fields() override
    {
        readAt.push_back(m_dispatcher.handOvers);
        return form;
    }
    TcpIpConfig form;
    std::vector<int> readAt; // hand-overs before each read

private:
    const RefreshingDispatcher& m_dispatcher;
};

} // namespace

// The fields are read in one hand-over and the values in force once: with a
// refresh flipping the address in force between every two hand-overs, the
// comparison line and the commands still tell the same story.
TEST(ApplySequence, OneReadingOfTheFieldsAndOfTheValuesInForceServesTheWholeRun)
{
    for (const bool flipFirst : { false, true }) {
        SCOPED_TRACE(flipFirst ? "the address in force changes at the first refresh" : "at the second");
        RefreshingDispatcher dispatcher;
        CountingInputs inputs(dispatcher);
        RecordingView view;
        ScriptedRunner runner;
        RecordingProxy proxy;
        LiveSnapshot snapshot;
        snapshot.set(workedExampleNow());
        inputs.form = workedExampleFields(); // 192.168.0.9 where 192.168.0.5 is in force
        dispatcher.afterEach = [&](int n) {
            snapshot.update([&](LiveValues& v) {
                v.config.ip[0] = (n % 2 == 1) == flipFirst ? "192.168.0.9" : "192.168.0.5";
            });
        };
        ApplySequence s(inputs, snapshot, view, dispatcher, runner, proxy, nullptr);
        EXPECT_EQ(s.run(), ApplySequence::Outcome::Done);

        ASSERT_EQ(inputs.readAt.size(), 2u);
        EXPECT_EQ(inputs.readAt[0], inputs.readAt[1]) << "connection name and fields in the same hand-over";
        ASSERT_GE(view.log.size(), 3u);
        const bool shownAsChanging = view.log[2] == pad("IP:    192.168.0.5") + "->     192.168.0.9";
        EXPECT_TRUE(shownAsChanging || view.log[2] == pad("IP:    192.168.0.9") + "->     192.168.0.9")
            << view.log[2];
        EXPECT_EQ(runner.ran.size(), shownAsChanging ? 1u : 0u)
            << "a command runs exactly when the comparison shows a change";
    }
}

TEST(ApplySequence, ABadValueRefusesTheWholeSwitchAndRunsNothing)
{
    struct Case {
        const char* name;
        std::function<void(TcpIpConfig&)> change;
        std::string refusal;
    };
    const Case cases[] = {
        { "address 1", [](TcpIpConfig& f) { f.ip[0] = "999.1.1.9"; },
            "IP地址“999.1.1.9”不是有效的 IPv4 地址：应为四段 0 到 255 的十进制数，如 "
            "192.168.0.1。未作任何更改。" },
        { "address 2 without mask 2", [](TcpIpConfig& f) { f.ip[1] = "10.0.0.5"; },
            "IP地址2“10.0.0.5”已填写，子网掩码2却为空。未作任何更改。" },
        { "DNS server 2", [](TcpIpConfig& f) { f.dns[1] = "abc"; },
            "备用DNS服务器“abc”不是有效的 IPv4 地址：应为四段 0 到 255 的十进制数，如 "
            "192.168.0.1。未作任何更改。" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Sequence r;
        r.snapshot.set(workedExampleNow());
        r.inputs.form = workedExampleFields();
        r.inputs.form.dns[0] = "192.168.0.53"; // a DNS change that must not run either
        r.inputs.form.proxyTakesPart = true;
        r.inputs.form.proxyOn = true;
        c.change(r.inputs.form);
        EXPECT_EQ(r.go(), ApplySequence::Outcome::Refused);
        EXPECT_TRUE(r.runner.ran.empty());
        EXPECT_TRUE(r.proxy.writes.empty());
        EXPECT_EQ(r.view.log, (std::vector<std::string> { "连接名称: lan0", "", c.refusal }));
        EXPECT_EQ(r.probes, 0);
        EXPECT_TRUE(r.view.retryEnabled);
        EXPECT_FALSE(r.view.progressVisible);
        EXPECT_FALSE(r.view.probeAreaVisible);
    }
}

TEST(ApplySequence, AGatewayOutsideTheNewSubnetIsSetAndNoted)
{
    Sequence r;
    r.snapshot.set(workedExampleNow());
    r.inputs.form = workedExampleFields();
    r.inputs.form.gateway[0] = "10.9.9.1";
    EXPECT_EQ(r.go(), ApplySequence::Outcome::Done);
    const std::string note = "注意：默认网关“10.9.9.1”不在新地址的子网内，仍照样设置。";
    EXPECT_EQ(std::count(r.view.log.begin(), r.view.log.end(), note), 1);
    ASSERT_EQ(r.runner.ran.size(), 1u);
    EXPECT_NE(r.runner.ran[0].find(R"(gateway="10.9.9.1")"), std::string::npos);
}

// The probe tests the network just switched to: the values read once the
// last command has ended, not the last refresh's.
TEST(ApplySequence, TheProbeGetsTheValuesReadAfterTheLastCommand)
{
    Sequence r;
    r.snapshot.set(workedExampleNow()); // the refresh before the switch: gateway 192.168.0.1
    r.snapshot.update([](LiveValues& v) {
        v.gatewayInForce = "192.168.0.1";
        v.dnsInForce = "192.168.0.1";
    });
    r.inputs.form = workedExampleFields();
    r.inputs.form.gateway[0] = "192.168.0.254";
    r.inputs.form.dns[0] = "192.168.0.53";
    std::size_t ranWhenRead = 0;
    std::string readFor;
    r.readInForce = [&](const std::string& name) {
        ranWhenRead = r.runner.ran.size();
        readFor = name;
        InterfaceReading now;
        now.gatewayInForce = "192.168.0.254";
        now.dnsInForce = "192.168.0.53";
        return now;
    };
    EXPECT_EQ(r.go(), ApplySequence::Outcome::Done);
    EXPECT_EQ(ranWhenRead, 2u) << "read after the address and DNS commands";
    EXPECT_EQ(readFor, "lan0");
    EXPECT_EQ(r.probed.gatewayInForce, "192.168.0.254");
    EXPECT_EQ(r.probed.dnsInForce, "192.168.0.53");

    Sequence bare; // no reader: the snapshot's values
    bare.snapshot.set(r.snapshot.get());
    bare.inputs.form = r.inputs.form;
    bare.go();
    EXPECT_EQ(bare.probed.gatewayInForce, "192.168.0.1");
}

TEST(ApplySequence, ADhcpSwitchNamesTheLeasedAddressAfterTheLastLine)
{
    Sequence r;
    r.snapshot.set(workedExampleNow());
    r.inputs.form = workedExampleNow().config;
    r.inputs.form.fixedIp = false;
    InterfaceReading leased;
    r.readInForce = [&](const std::string&) { return leased; };
    leased.dhcp = true;
    leased.leased = true;
    leased.ip = { "192.0.2.150" };
    leased.mask = { "255.255.255.0" };
    EXPECT_EQ(r.go(), ApplySequence::Outcome::Done);
    ASSERT_GE(r.view.log.size(), 2u);
    EXPECT_EQ(r.view.log[r.view.log.size() - 2], applytext::kDone);
    EXPECT_EQ(r.view.log.back(), "已从 DHCP 获得地址：192.0.2.150/255.255.255.0");

    leased.ip.clear(); // no lease yet
    leased.mask.clear();
    leased.leased = false;
    r.go();
    EXPECT_EQ(r.view.log.back(), applytext::kNoLease);

    // The client still asking, the address from before still in force: that
    // address is no lease.
    leased.ip = { "192.168.0.5" };
    leased.mask = { "255.255.255.0" };
    r.go();
    EXPECT_EQ(r.view.log.back(), applytext::kNoLease);

    r.inputs.form.fixedIp = true; // a static switch names none
    r.inputs.form.ip[0] = "192.168.0.9";
    r.go();
    EXPECT_EQ(r.view.log.back(), applytext::kDone);
}
