// The real netsh program against the lab's laptop namespace: every command
// line of an apply, checked against the kernel (`ip -j`) and the resolver file.
#include "LabState.h"
#include "NetshLabCommands.h"
#include "Process.h"
#include "apply/RunWindowsExe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace tarnwick::test::lab;
using tarnwick::test::binPath;
using tarnwick::test::ProcessResult;
using tarnwick::test::runProcess;

namespace
{

bool inPool(const std::string& addr)
{
    const auto host = std::stoi(match(addr, "^192\\.0\\.2\\.([0-9]+)/24$").empty()
            ? "0"
            : match(addr, "^192\\.0\\.2\\.([0-9]+)/24$"));
    return host >= 100 && host <= 199;
}

class NetshLab : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(resetLink()); }
};

} // namespace

TEST_F(NetshLab, FullStaticSwitchThroughEveryStaticTemplate)
{
    expectOk(netsh(c2("192.0.2.10", "255.255.255.0")), "C2");
    EXPECT_EQ(addressTexts(), std::vector<std::string> { "192.0.2.10/24" });
    EXPECT_TRUE(defaultRoutes().empty());
    expectOk(netsh(c4("10.1.0.5", "255.255.0.0")), "C4 address 2");
    expectOk(netsh(c4("172.16.5.5", "255.255.255.0")), "C4 address 3");
    EXPECT_EQ(addressTexts(), (std::vector<std::string> { "10.1.0.5/16", "172.16.5.5/24", "192.0.2.10/24" }));
    expectOk(netsh(c5("192.0.2.1")), "C5");
    EXPECT_EQ(defaultRoutes(), std::vector<std::string> { "192.0.2.1 1" });
    expectOk(netsh(c6("10.1.0.1")), "C6");
    EXPECT_EQ(defaultRoutes(), (std::vector<std::string> { "10.1.0.1 2", "192.0.2.1 1" }));
    expectOk(netsh(c8("192.0.2.53")), "C8");
    EXPECT_EQ(nameservers(), std::vector<std::string> { "192.0.2.53" });
    expectOk(netsh(c9("192.0.2.54", 2)), "C9 index 2");
    expectOk(netsh(c9("10.1.0.53", 3)), "C9 index 3");
    expectOk(netsh(c9("10.1.0.54", 4)), "C9 index 4");
    EXPECT_EQ(
        nameservers(), (std::vector<std::string> { "192.0.2.53", "192.0.2.54", "10.1.0.53", "10.1.0.54" }));
    EXPECT_NE(resolvConf().find("# resolver file of lab"), std::string::npos) << "the rest of the file stays";

    // C2 again replaces every address and, having no gateway, every default route.
    expectOk(netsh(c2("192.0.2.20", "255.255.255.0")), "C2 again");
    EXPECT_EQ(addressTexts(), std::vector<std::string> { "192.0.2.20/24" });
    EXPECT_TRUE(defaultRoutes().empty());
    expectOk(netsh(c3("192.0.2.21", "255.255.255.0", "192.0.2.1")), "C3");
    EXPECT_EQ(addressTexts(), std::vector<std::string> { "192.0.2.21/24" });
    EXPECT_EQ(defaultRoutes(), std::vector<std::string> { "192.0.2.1 1" });
    // C8 with an empty server: no server of ours left.
    expectOk(netsh(c8("")), "C8 empty");
    EXPECT_TRUE(nameservers().empty()) << resolvConf();
}

TEST_F(NetshLab, WorkedExampleChangesOnlyTheAddress)
{
    expectOk(netsh(c3("192.168.0.5", "255.255.255.0", "192.168.0.1")), "start");
    expectOk(netsh(c8("192.168.0.1")), "start dns");
    const std::string resolverBefore = resolvConf();
    // The apply sees only the address differ and runs exactly one C3.
    expectOk(netsh(c3("192.168.0.9", "255.255.255.0", "192.168.0.1")), "C3");
    EXPECT_EQ(addressTexts(), std::vector<std::string> { "192.168.0.9/24" });
    EXPECT_EQ(defaultRoutes(), std::vector<std::string> { "192.168.0.1 1" });
    EXPECT_EQ(resolvConf(), resolverBefore);
    const auto shown = netsh({ "interface", "ip", "show", "config", "name=" + lan() });
    EXPECT_EQ(shown.exitCode, 0);
    EXPECT_NE(shown.out.find("192.168.0.9"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("静态配置的 DNS 服务器:"), std::string::npos) << shown.out;
}

// Default routes are told apart by link, table and metric: a gateway off the
// link's subnets goes in on-link (Windows takes such a gateway too), one added
// by hand in the main table is replaced, one in another table is not ours.
TEST_F(NetshLab, DefaultRoutesOfTheLinkInTheMainTableOnly)
{
    expectOk(netsh(c2("192.0.2.10", "255.255.255.0")), "C2");
    const std::string viaLab[] = { "default", "via", "192.0.2.1", "dev", lan() };
    auto ipRoute = [&](std::vector<std::string> extra) {
        std::vector<std::string> args { "ip", "-4", "route", "add" };
        args.insert(args.end(), std::begin(viaLab), std::end(viaLab));
        args.insert(args.end(), extra.begin(), extra.end());
        return runProcess(args).exitCode;
    };
    ASSERT_EQ(ipRoute({ "metric", "7" }), 0);
    ASSERT_EQ(ipRoute({ "table", "100" }), 0);

    expectOk(netsh(c5("198.51.100.1")), "C5 off the subnet");
    EXPECT_EQ(defaultRoutes(), std::vector<std::string> { "198.51.100.1 1" });
    const auto onlink = runProcess({ "ip", "-4", "route", "show", "default", "dev", lan() }).out;
    EXPECT_NE(onlink.find("onlink"), std::string::npos) << onlink;
    expectOk(netsh(c5("198.51.100.1")), "C5 again");
    expectOk(netsh(c6("192.0.2.1")), "C6");
    expectOk(netsh(c6("192.0.2.1")), "C6 again");
    EXPECT_EQ(defaultRoutes(), (std::vector<std::string> { "192.0.2.1 2", "198.51.100.1 1" }));
    const auto other = runProcess({ "ip", "-4", "route", "show", "table", "100" }).out;
    EXPECT_NE(other.find("default via 192.0.2.1"), std::string::npos) << other;

    // C2 without a gateway takes every default route of the link, on-link ones too.
    expectOk(netsh(c2("192.0.2.11", "255.255.255.0")), "C2 without gateway");
    EXPECT_TRUE(defaultRoutes().empty());
    runProcess({ "ip", "-4", "route", "flush", "table", "100" });
}

// A switch to another subnet: the gateway goes in on-link while the old
// subnet is still in place, and ends as the route `ip route` itself makes.
TEST_F(NetshLab, ASwitchToAnotherSubnetEndsWithAPlainDefaultRoute)
{
    expectOk(netsh(c3("192.0.2.10", "255.255.255.0", "192.0.2.1")), "first subnet");
    expectOk(netsh(c3("10.9.0.5", "255.255.255.0", "10.9.0.1")), "another subnet");
    EXPECT_EQ(defaultRoutes(), std::vector<std::string> { "10.9.0.1 1" });
    const std::vector<std::string> show { "ip", "-4", "route", "show", "default", "dev", lan() };
    const std::string byNetsh = runProcess(show).out;
    EXPECT_EQ(byNetsh.find("onlink"), std::string::npos) << byNetsh;
    ASSERT_EQ(runProcess({ "ip", "-4", "route", "flush", "default", "dev", lan() }).exitCode, 0);
    const auto byHand = runProcess({ "ip", "-4", "route", "add", "default", "via", "10.9.0.1", "dev", lan(),
        "metric", "1", "proto", "static" });
    ASSERT_EQ(byHand.exitCode, 0) << byHand.err;
    EXPECT_EQ(byNetsh, runProcess(show).out);

    // C5 of a gateway the new subnet reaches, while an on-link route to it stands.
    ASSERT_EQ(runProcess({ "ip", "-4", "route", "flush", "default", "dev", lan() }).exitCode, 0);
    ASSERT_EQ(runProcess({ "ip", "-4", "route", "add", "default", "via", "10.9.0.1", "dev", lan(), "metric",
                             "1", "onlink" })
                  .exitCode,
        0);
    expectOk(netsh(c5("10.9.0.1")), "C5");
    EXPECT_EQ(defaultRoutes(), std::vector<std::string> { "10.9.0.1 1" });
    const std::string afterC5 = runProcess(show).out;
    EXPECT_EQ(afterC5.find("onlink"), std::string::npos) << afterC5;
}

// A plain resolver file: the switch's servers are the only ones glibc reads,
// the file's other lines stay, and its own servers return when ours go.
TEST_F(NetshLab, TheSwitchsDnsServersReplaceThePreviousNetworks)
{
    const auto writeResolver = [](const std::string& text) {
        std::ofstream out("/etc/resolv.conf", std::ios::trunc);
        out << text;
    };
    // The lab's own file comes back for the tests after this one, whatever happens here.
    struct Restore {
        std::function<void()> undo;
        ~Restore() { undo(); }
    } restore { [&, lab = resolvConf()] { writeResolver(lab); } };
    const std::string original = "# resolver file of the previous network\nsearch lab.example\n"
                                 "nameserver 198.51.100.53\nnameserver 198.51.100.54\noptions edns0\n";
    writeResolver(original);
    ASSERT_EQ(nameservers(), (std::vector<std::string> { "198.51.100.53", "198.51.100.54" }));
    expectOk(netsh(c3("192.0.2.10", "255.255.255.0", "192.0.2.1")), "C3");
    expectOk(netsh(c8("192.0.2.53")), "C8");
    EXPECT_EQ(nameservers(), std::vector<std::string> { "192.0.2.53" }) << resolvConf();
    expectOk(netsh(c9("192.0.2.54", 2)), "C9");
    EXPECT_EQ(nameservers(), (std::vector<std::string> { "192.0.2.53", "192.0.2.54" })) << resolvConf();
    for (const char* line : { "search lab.example\n", "options edns0\n" })
        EXPECT_NE(resolvConf().find(line), std::string::npos) << resolvConf();

    // A lease's servers replace them in turn; automatic DNS on a static link has none of ours.
    expectOk(netsh(c1()), "C1");
    expectOk(netsh(c7()), "C7");
    EXPECT_EQ(
        nameservers(), (std::vector<std::string> { env("TARNWICK_LAB_DNS1"), env("TARNWICK_LAB_DNS2") }))
        << resolvConf();
    expectOk(netsh(c2("192.0.2.10", "255.255.255.0")), "C2");
    EXPECT_EQ(resolvConf(), original);
}

// A multipath default route is shared with another link: it is shown for
// this link (its next hop here), but replacing this link's gateway leaves it.
// A change the kernel refuses says why, in the kernel's words.
TEST_F(NetshLab, SharedMultipathRoutesStayAndRefusalsGiveTheKernelsReason)
{
    expectOk(netsh(c2("192.0.2.10", "255.255.255.0")), "C2");
    ASSERT_EQ(
        runProcess({ "ip", "link", "add", "lan9", "type", "veth", "peer", "name", "lan9p" }).exitCode, 0);
    runProcess({ "ip", "link", "set", "lan9p", "up" });
    runProcess({ "ip", "link", "set", "lan9", "up" });
    runProcess({ "ip", "addr", "add", "198.51.100.2/24", "dev", "lan9" });
    const auto added = runProcess({ "ip", "-4", "route", "add", "default", "metric", "50", "nexthop", "via",
        "192.0.2.1", "dev", lan(), "nexthop", "via", "198.51.100.1", "dev", "lan9" });
    ASSERT_EQ(added.exitCode, 0) << added.err;

    const auto shown = netsh({ "interface", "ip", "show", "config", "name=" + lan() });
    EXPECT_NE(shown.out.find("192.0.2.1"), std::string::npos) << shown.out;
    expectOk(netsh(c5("192.0.2.1")), "C5");
    const auto routes = runProcess({ "ip", "-4", "route", "show", "default" }).out;
    EXPECT_NE(routes.find("nexthop via 198.51.100.1"), std::string::npos) << "the shared route stays:\n"
                                                                          << routes;

    // Another link's own address as this link's gateway: the kernel refuses
    // it, and says why.
    const auto refused = netsh(c6("198.51.100.2"));
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("(Nexthop has invalid gateway)"), std::string::npos) << refused.err;
    runProcess({ "ip", "link", "del", "lan9" });

    // This link's own address is refused before anything is asked.
    const auto own = netsh(c6("192.0.2.10"));
    EXPECT_EQ(own.exitCode, 1);
    EXPECT_NE(own.err.find("就是接口自己的地址"), std::string::npos) << own.err;
}

// Names a caller controls: one that a DHCP client would read as its option is
// refused for every client, and a name with an escape sequence is printed escaped.
TEST_F(NetshLab, HostileInterfaceNamesDoNothingAndPrintEscaped)
{
    ASSERT_EQ(
        runProcess({ "ip", "link", "add", "-cevil", "type", "veth", "peer", "name", "evilp" }).exitCode, 0);
    runProcess({ "ip", "link", "set", "-cevil", "up" });
    for (const char* client : { "dhcpcd", "dhclient", "udhcpc" }) {
        const auto r = netsh({ "interface", "ip", "set", "address", "name=-cevil", "source=dhcp" },
            { { "TARNWICK_DHCP_CLIENT", client } });
        EXPECT_EQ(r.exitCode, 1) << client;
        EXPECT_NE(r.err.find("以“-”开头"), std::string::npos) << client << ": " << r.err;
        EXPECT_EQ(clientInstances(), 0) << client;
    }
    runProcess({ "ip", "link", "del", "-cevil" });

    ASSERT_EQ(
        runProcess({ "ip", "link", "add", "tw\x1b[2J", "type", "veth", "peer", "name", "twp" }).exitCode, 0);
    const auto shown = netsh({ "interface", "ip", "show", "config" });
    EXPECT_EQ(shown.out.find('\x1b'), std::string::npos) << "no raw escape reaches the terminal";
    EXPECT_NE(shown.out.find("tw\\x1b[2J"), std::string::npos) << shown.out;
    runProcess({ "ip", "link", "del", "tw\x1b[2J" });
}

TEST_F(NetshLab, StaticDhcpStaticDhcpLeavesNothingStale)
{
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        expectOk(netsh(c3("192.0.2.10", "255.255.255.0", "192.0.2.1")), "C3");
        expectOk(netsh(c4("10.1.0.5", "255.255.0.0")), "C4");
        expectOk(netsh(c6("10.1.0.1")), "C6");
        expectOk(netsh(c8("10.9.9.9")), "C8");
        EXPECT_EQ(clientInstances(), 0);
        EXPECT_EQ(nameservers(), std::vector<std::string> { "10.9.9.9" });

        expectOk(netsh(c1()), "C1");
        expectOk(netsh(c7()), "C7");
        const auto leased = addresses();
        ASSERT_EQ(leased.size(), 1u) << "no static address left beside the lease";
        EXPECT_TRUE(leased[0].dynamic);
        EXPECT_TRUE(inPool(leased[0].text)) << leased[0].text;
        for (const auto& r : defaultRoutes())
            EXPECT_EQ(r.substr(0, r.find(' ')), env("TARNWICK_LAB_GATEWAY")) << "no static route left: " << r;
        EXPECT_EQ(
            nameservers(), (std::vector<std::string> { env("TARNWICK_LAB_DNS1"), env("TARNWICK_LAB_DNS2") }));
        EXPECT_EQ(clientInstances(), 1);
    }
    expectOk(netsh(c3("192.0.2.10", "255.255.255.0", "192.0.2.1")), "back to static");
    EXPECT_EQ(addressTexts(), std::vector<std::string> { "192.0.2.10/24" });
    EXPECT_EQ(defaultRoutes(), std::vector<std::string> { "192.0.2.1 1" });
    EXPECT_TRUE(nameservers().empty()) << "lease servers leave with the lease: " << resolvConf();
    EXPECT_EQ(clientInstances(), 0);
}

TEST_F(NetshLab, LeaseDnsArrivesOnlyWhileDnsIsAutomatic)
{
    for (const char* client : { "dhcpcd", "dhclient", "udhcpc" }) {
        SCOPED_TRACE(client);
        const std::map<std::string, std::string> use { { "TARNWICK_DHCP_CLIENT", client } };
        expectOk(netsh(c8("10.9.9.9"), use), "C8");
        expectOk(netsh(c1(), use), "C1");
        EXPECT_NE(stateText().find(std::string("client=") + client), std::string::npos)
            << "the client asked for runs (scripts/install-deps installs all three): " << stateText();
        ASSERT_EQ(addresses().size(), 1u);
        EXPECT_TRUE(inPool(addresses()[0].text));
        EXPECT_EQ(defaultRoutes().size(), 1u);
        EXPECT_EQ(nameservers(), std::vector<std::string> { "10.9.9.9" }) << "static DNS wins over the lease";
        expectOk(netsh(c7(), use), "C7");
        EXPECT_EQ(
            nameservers(), (std::vector<std::string> { env("TARNWICK_LAB_DNS1"), env("TARNWICK_LAB_DNS2") }));
        expectOk(netsh(c8("10.9.9.8"), use), "C8 again");
        EXPECT_EQ(nameservers(), std::vector<std::string> { "10.9.9.8" });
        expectOk(netsh(c2("192.0.2.10", "255.255.255.0"), use), "C2");
        EXPECT_EQ(clientInstances(), 0);
        EXPECT_EQ(addressTexts(), std::vector<std::string> { "192.0.2.10/24" });
    }
}

TEST_F(NetshLab, BadInputsChangeNothing)
{
    expectOk(netsh(c3("192.0.2.10", "255.255.255.0", "192.0.2.1")), "start");
    expectOk(netsh(c8("192.0.2.53")), "start dns");
    struct Case {
        std::vector<std::string> args;
        std::string mentions;
    };
    const std::string name = "name=" + lan();
    const std::vector<Case> cases = {
        { c2("192.0.2.300", "255.255.255.0"), "192.0.2.300" },
        { c2("192.0.2.10", "255.255.0.255"), "255.255.0.255" },
        { { "interface", "ip", "set", "address", "name=nosuch0", "source=dhcp" }, "nosuch0" },
        { { "interface", "ip", "set", "address", "name=lan\"0", "source=dhcp" }, "lan\"0" },
        { { "interface", "ip", "set", "address", "name=lan0\n", "source=dhcp" }, "lan0\\n" },
        { { "interface", "ip", "set", "address", name, "gateway=192.0.2.2", "gwmetric=abc" }, "abc" },
        { { "interface", "ip", "add", "dns", name, "addr=192.0.2.54", "index=0" }, "index" },
        { { "interface", "ip", "set", "address", name, "source=static", "addr=192.0.2.11",
              "mask=255.255.255.0", "colour=red" },
            "colour=red" },
        { { "interface", "ip", "set", "address", name, "source=static", "addr=192.0.2.11" }, "mask" },
        { { "interface", "ip", "set", "address", name, "source=static", "addr=192.0.2.11", "mask=" },
            "mask" },
        { { "interface", "ip", "set", "dns", name, "source=" }, "source" },
    };
    const auto addrBefore = addressTexts();
    const auto routesBefore = defaultRoutes();
    const auto resolverBefore = resolvConf();
    const auto stateBefore = stateText();
    ASSERT_NE(stateBefore.find("static-dns=192.0.2.53"), std::string::npos) << stateBefore;
    for (const auto& c : cases) {
        const auto r = netsh(c.args);
        EXPECT_EQ(r.exitCode, 1) << c.mentions;
        const std::string first = r.err.substr(0, r.err.find('\n'));
        EXPECT_NE(first.find(c.mentions), std::string::npos) << r.err;
        EXPECT_EQ(r.out.find("确定"), std::string::npos) << r.out;
        EXPECT_EQ(addressTexts(), addrBefore) << c.mentions;
        EXPECT_EQ(defaultRoutes(), routesBefore) << c.mentions;
        EXPECT_EQ(resolvConf(), resolverBefore) << c.mentions;
        EXPECT_EQ(stateText(), stateBefore) << c.mentions;
    }
}

TEST_F(NetshLab, WithoutNetAdminNothingChanges)
{
    if (::access("/usr/bin/setpriv", X_OK) != 0)
        GTEST_SKIP() << "setpriv (util-linux) is needed to drop the capability";
    const auto before = addressTexts();
    auto args = c2("192.0.2.77", "255.255.255.0");
    args.insert(args.begin(),
        { "/usr/bin/setpriv", "--inh-caps=-all", "--bounding-set=-net_admin", binPath("netsh") });
    const auto r = runProcess(args);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("管理员权限"), std::string::npos) << r.err;
    EXPECT_EQ(addressTexts(), before);
}

TEST_F(NetshLab, EqualInterfaceNamesInAnotherNamespaceKeepTheirOwnState)
{
    const std::string other = env("TARNWICK_LAB_NET_NS");
    ASSERT_FALSE(other.empty());
    ASSERT_EQ(runProcess({ "ip", "netns", "exec", other, "ip", "link", "add", lan(), "type", "veth", "peer",
                             "name", "twpeer0" })
                  .exitCode,
        0);
    expectOk(netsh(c8("10.7.7.7")), "C8 here");
    const auto there = runProcess({ "ip", "netns", "exec", other, binPath("netsh"), "interface", "ip", "show",
        "config", "name=" + lan() });
    EXPECT_EQ(there.exitCode, 0) << there.err;
    EXPECT_EQ(there.out.find("10.7.7.7"), std::string::npos) << there.out;
    const auto here = netsh({ "interface", "ip", "show", "config", "name=" + lan() });
    EXPECT_NE(here.out.find("10.7.7.7"), std::string::npos) << here.out;
    runProcess({ "ip", "netns", "exec", other, "ip", "link", "del", lan() });
}

TEST_F(NetshLab, LeaseEventsOfAClientWeDoNotRunOrForgedOnesAreIgnored)
{
    expectOk(netsh(c1()), "C1");
    expectOk(netsh(c7()), "C7");
    const auto leaseServers = std::vector<std::string> { env("TARNWICK_LAB_DNS1"), env("TARNWICK_LAB_DNS2") };
    ASSERT_EQ(nameservers(), leaseServers);
    const auto addressesBefore = addressTexts();
    struct stat ns {
    };
    ::stat("/proc/self/ns/net", &ns);
    const std::string hook
        = env("TARNWICK_STATE_DIR") + "/netns-" + std::to_string(ns.st_ino) + "/tarnwick-dhcp-hook";
    // Another client (a stopped one, or one never ours) reports late; and a
    // caller who runs the hook itself, naming the client on record: neither
    // is the client, whatever they say.
    const std::string recorded = match(stateText(), "client-pid=([0-9]+)");
    ASSERT_FALSE(recorded.empty()) << stateText();
    for (const char* pid : { "1", recorded.c_str() })
        for (const char* reason : { "BOUND", "STOP" }) {
            const auto r = runProcess({ hook },
                { { "reason", reason }, { "interface", lan() }, { "pid", pid },
                    { "new_ip_address", "192.0.2.150" }, { "new_subnet_mask", "255.255.255.0" },
                    { "new_routers", "192.0.2.1" }, { "new_domain_name_servers", "192.0.2.66" } });
            EXPECT_EQ(r.exitCode, 0) << r.err;
            EXPECT_EQ(nameservers(), leaseServers) << reason;
            EXPECT_EQ(addressTexts(), addressesBefore) << reason;
        }
    expectOk(netsh(c2("192.0.2.10", "255.255.255.0")), "C2");
}

// The template texts exactly as the apply builds them (quotes, C8's trailing
// blank, C9's double blank), through the real command runner, which finds
// the bundled netsh beside the running program.
TEST_F(NetshLab, TemplateTextsThroughTheCommandRunner)
{
    const std::string conn = lan();
    const auto runLine = [](const std::string& line) {
        std::string out;
        for (const auto& chunk : tarnwick::RunWindowsExe(line))
            out += chunk;
        EXPECT_NE(out.find("确定。"), std::string::npos) << line << "\n" << out;
    };
    runLine("netsh interface ip set address name=\"" + conn
        + "\" source=\"static\" addr=\"192.0.2.10\" mask=\"255.255.255.0\"");
    runLine("netsh interface ip add address name=\"" + conn + "\" addr=\"10.1.0.5\" mask=\"255.255.0.0\"");
    runLine("netsh interface ip set address name=\"" + conn + "\" gateway=\"192.0.2.1\" gwmetric=1");
    runLine("netsh interface ip add address name=\"" + conn + "\" gateway=\"10.1.0.1\" gwmetric=2");
    runLine("netsh interface ip set dns name=\"" + conn + "\" source=\"static\" addr=\"192.0.2.53\" ");
    runLine("netsh interface ip add dns name=\"" + conn + "\"  addr=\"192.0.2.54\" index=2");
    EXPECT_EQ(addressTexts(), (std::vector<std::string> { "10.1.0.5/16", "192.0.2.10/24" }));
    EXPECT_EQ(defaultRoutes(), (std::vector<std::string> { "10.1.0.1 2", "192.0.2.1 1" }));
    EXPECT_EQ(nameservers(), (std::vector<std::string> { "192.0.2.53", "192.0.2.54" }));

    runLine("netsh interface ip set address name=\"" + conn
        + "\" source=\"static\" addr=\"192.0.2.11\" mask=\"255.255.255.0\" gateway=\"192.0.2.1\" gwmetric=1");
    EXPECT_EQ(addressTexts(), std::vector<std::string> { "192.0.2.11/24" });
    EXPECT_EQ(defaultRoutes(), std::vector<std::string> { "192.0.2.1 1" });
    runLine("netsh interface ip set dns name=\"" + conn + "\" source=\"static\" addr=\"\" ");
    EXPECT_TRUE(nameservers().empty()) << resolvConf();

    // DHCP returns with the lease in place, and the client holds no end of the runner's pipe.
    runLine("netsh interface ip set address name=\"" + conn + "\" source=\"dhcp\"");
    runLine("netsh interface ip set dns name=\"" + conn + "\" source=\"dhcp\"");
    ASSERT_EQ(addresses().size(), 1u);
    EXPECT_TRUE(addresses()[0].dynamic);
    EXPECT_EQ(
        nameservers(), (std::vector<std::string> { env("TARNWICK_LAB_DNS1"), env("TARNWICK_LAB_DNS2") }));
    expectOk(netsh(c2("192.0.2.10", "255.255.255.0")), "back to static");
}
