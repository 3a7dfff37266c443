// The real netsh on a link NetworkManager manages (scripts/lab run --nm):
// `tarnwick apply` switches through NetworkManager, the kernel and
// NetworkManager agree, the profile keeps the switch over a reapply, and only
// NetworkManager's own DHCP client runs.
#include "LabState.h"
#include "NetshLabCommands.h"
#include "Process.h"
#include "TempDir.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace tarnwick::test;
using namespace tarnwick::test::lab;

namespace
{

std::vector<std::string> split(const std::string& line, const std::string& by)
{
    std::vector<std::string> parts;
    std::size_t at = 0;
    while (!line.empty()) {
        const auto next = line.find(by, at);
        parts.push_back(line.substr(at, next - at));
        if (next == std::string::npos)
            break;
        at = next + by.size();
    }
    return parts;
}

// NetworkManager's own view of the link.
struct NmView {
    std::set<std::string> addresses;
    std::string gateway;
    std::vector<std::string> dns;
    bool operator==(const NmView&) const = default;
};

std::ostream& operator<<(std::ostream& os, const NmView& v)
{
    os << "addresses:";
    for (const auto& a : v.addresses)
        os << ' ' << a;
    os << " gateway: " << v.gateway << " dns:";
    for (const auto& d : v.dns)
        os << ' ' << d;
    return os;
}

NmView nmView()
{
    const auto r = runProcess({ "nmcli", "-g", "IP4.ADDRESS,IP4.GATEWAY,IP4.DNS", "device", "show", lan() });
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::istringstream in(r.out);
    std::string addresses, gateway, dns;
    std::getline(in, addresses);
    std::getline(in, gateway);
    std::getline(in, dns);
    NmView v;
    for (const auto& a : split(addresses, " | "))
        v.addresses.insert(a);
    v.gateway = gateway;
    v.dns = split(dns, " | ");
    return v;
}

std::string profileField(const std::string& field)
{
    return runProcess({ "nmcli", "-g", field, "connection", "show", "lab-dhcp" }).out;
}

bool leased()
{
    const auto a = addresses();
    return a.size() == 1 && a[0].dynamic && a[0].text.rfind("192.0.2.1", 0) == 0;
}

// What a switch left: the kernel's addresses and default routes, the resolver
// file and NetworkManager's view.
struct Link {
    std::vector<std::string> addresses;
    std::vector<std::string> defaultRoutes;
    std::vector<std::string> nameservers;
    NmView nm;
    bool operator==(const Link&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Link& l)
{
    for (const auto& a : l.addresses)
        os << a << ' ';
    os << "| ";
    for (const auto& r : l.defaultRoutes)
        os << r << ", ";
    os << "| ";
    for (const auto& n : l.nameservers)
        os << n << ' ';
    return os << "| " << l.nm;
}

Link link()
{
    return Link { addressTexts(), defaultRoutes(), nameservers(), nmView() };
}

// A stand-in systemd-networkd on the lab's bus, claiming the links named.
class FakeNetworkd
{
public:
    explicit FakeNetworkd(const std::vector<std::string>& links)
    {
        std::vector<std::string> argv { binPath("fake_networkd") };
        argv.insert(argv.end(), links.begin(), links.end());
        std::vector<char*> args;
        for (auto& a : argv)
            args.push_back(a.data());
        args.push_back(nullptr);
        int out[2];
        if (::pipe(out) != 0)
            return;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, out[1], 1);
        posix_spawn_file_actions_addclose(&fa, out[0]);
        if (posix_spawn(&m_pid, args[0], &fa, nullptr, args.data(), environ) != 0)
            m_pid = 0;
        posix_spawn_file_actions_destroy(&fa);
        ::close(out[1]);
        char ready[6] = {};
        m_ready = m_pid > 0 && ::read(out[0], ready, 5) == 5 && std::string(ready) == "ready";
        ::close(out[0]);
    }
    ~FakeNetworkd()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    FakeNetworkd(const FakeNetworkd&) = delete;
    FakeNetworkd& operator=(const FakeNetworkd&) = delete;
    bool ready() const { return m_ready; }

private:
    pid_t m_pid = 0;
    bool m_ready = false;
};

std::string addressesOf(const std::string& ifname)
{
    return runProcess({ "ip", "-4", "-o", "addr", "show", "dev", ifname }).out;
}

class NetshNmLab : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(env("TARNWICK_LAB_NM"), "1") << "runs inside scripts/lab run --nm"; }
    ProcessResult apply(const std::string& name)
    {
        return runProcess({ binPath("tarnwick"), "apply", "--config",
                              (std::filesystem::path(kDataDir) / "config-lab-nm.xml").string(), name },
            { { "TARNWICK_HOME", home.path().string() } });
    }
    // The switch is in the profile: a reapply of it changes nothing.
    void expectSurvivesReapply(const std::string& what)
    {
        const Link before = link();
        const auto r = runProcess({ "nmcli", "device", "reapply", lan() });
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(link(), before) << what << ": after nmcli device reapply";
    }
    void expectOnlyNmClient(const std::string& what)
    {
        EXPECT_EQ(clientInstances(), 0) << what << ": a DHCP client beside NetworkManager's";
    }
    TempDir home;
};

} // namespace

TEST_F(NetshNmLab, DhcpStaticDhcpStaticThroughNetworkManager)
{
    ASSERT_TRUE(leased()) << "NetworkManager's DHCP profile holds a lease: " << link();

    auto r = apply("lab-static");
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("设置完毕！\n"), std::string::npos) << r.out;
    EXPECT_EQ(addressTexts(), std::vector<std::string> { "192.0.2.10/24" });
    EXPECT_EQ(defaultRoutes(), std::vector<std::string> { "192.0.2.1 1" });
    EXPECT_EQ(nameservers(), (std::vector<std::string> { "192.0.2.53", "192.0.2.54" }));
    EXPECT_EQ(nmView(), (NmView { { "192.0.2.10/24" }, "192.0.2.1", { "192.0.2.53", "192.0.2.54" } }));
    EXPECT_EQ(profileField("ipv4.method"), "manual\n");
    expectSurvivesReapply("static");
    expectOnlyNmClient("static");

    r = apply("lab-dhcp");
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_TRUE(leased()) << link();
    EXPECT_EQ(defaultRoutes().size(), 1u) << link();
    EXPECT_EQ(nameservers(), (std::vector<std::string> { "192.0.2.53", "192.0.2.54" })) << resolvConf();
    const NmView dhcp = nmView();
    EXPECT_EQ(dhcp.gateway, "192.0.2.1");
    EXPECT_EQ(dhcp.dns, (std::vector<std::string> { "192.0.2.53", "192.0.2.54" })) << "the lease's servers";
    EXPECT_EQ(profileField("ipv4.method"), "auto\n");
    EXPECT_EQ(profileField("ipv4.ignore-auto-dns"), "no\n");
    expectSurvivesReapply("DHCP");
    expectOnlyNmClient("DHCP");

    r = apply("lab-three-dns");
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(addressTexts(), (std::vector<std::string> { "10.1.0.6/16", "192.0.2.30/24" }));
    EXPECT_EQ(defaultRoutes(), (std::vector<std::string> { "10.1.0.1 2", "192.0.2.1 1" }));
    EXPECT_EQ(nameservers(), (std::vector<std::string> { "192.0.2.53", "192.0.2.54", "10.1.0.53" }));
    EXPECT_EQ(nmView(),
        (NmView {
            { "10.1.0.6/16", "192.0.2.30/24" }, "192.0.2.1", { "192.0.2.53", "192.0.2.54", "10.1.0.53" } }));
    EXPECT_EQ(profileField("ipv4.ignore-auto-dns"), "yes\n") << "not merged with a lease's servers";
    expectSurvivesReapply("static, two of each");
    expectOnlyNmClient("static, two of each");
    // In the profile's file too, so it lasts over a reconnect and a reboot.
    std::ifstream file("/etc/NetworkManager/system-connections/lab-dhcp.nmconnection");
    const std::string keyfile((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_NE(keyfile.find("method=manual"), std::string::npos) << keyfile;
    EXPECT_NE(keyfile.find("10.1.0.53"), std::string::npos) << keyfile;
    const Link before = link();
    ASSERT_EQ(runProcess({ "nmcli", "connection", "up", "lab-dhcp" }).exitCode, 0);
    EXPECT_EQ(link(), before) << "after a reconnect";

    EXPECT_EQ(stateText(), "") << "the privileged helper never touched NetworkManager's link";

    const auto shown = netsh({ "interface", "ip", "show", "config", "name=" + lan() });
    EXPECT_EQ(shown.exitCode, 0) << shown.err;
    EXPECT_NE(shown.out.find("DHCP 已启用:                          否"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("10.1.0.6"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("静态配置的 DNS 服务器:"), std::string::npos) << shown.out;
}

// `set dns source=dhcp` right after `set address source=dhcp`, the order an
// apply runs them in: the lease's servers come back at once.
TEST_F(NetshNmLab, LeaseDnsBackRightAfterTheLease)
{
    expectOk(netsh(c2("192.0.2.10", "255.255.255.0")), "C2");
    expectOk(netsh(c8("10.9.9.9")), "C8");
    expectOk(netsh(c1()), "C1");
    EXPECT_EQ(nmView().dns, std::vector<std::string> { "10.9.9.9" });
    expectOk(netsh(c7()), "C7");
    EXPECT_EQ(nmView().dns, (std::vector<std::string> { "192.0.2.53", "192.0.2.54" }));
    EXPECT_EQ(nameservers(), (std::vector<std::string> { "192.0.2.53", "192.0.2.54" })) << resolvConf();
    expectOnlyNmClient("DHCP");
}

// NetworkManager still manages a link it has disconnected, but nothing is
// active on it to change: refused, saying so; `show config` shows the kernel's.
TEST_F(NetshNmLab, DisconnectedLinkIsRefusedAndStillShown)
{
    ASSERT_EQ(runProcess({ "nmcli", "device", "disconnect", lan() }).exitCode, 0);
    const auto r = netsh(c8("192.0.2.9"));
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_NE(r.err.find("没有已激活的连接"), std::string::npos) << r.err;
    const auto servers = nameservers();
    EXPECT_EQ(std::find(servers.begin(), servers.end(), "192.0.2.9"), servers.end()) << resolvConf();
    const auto shown = netsh({ "interface", "ip", "show", "config", "name=" + lan() });
    EXPECT_EQ(shown.exitCode, 0) << shown.err;
    EXPECT_NE(shown.out.find("接口 \"" + lan() + "\" 的配置"), std::string::npos) << shown.out;
    ASSERT_EQ(runProcess({ "nmcli", "connection", "up", "lab-dhcp" }).exitCode, 0);
}

// A link NetworkManager leaves alone goes to the privileged helper as
// before; one another manager holds is refused, naming the manager.
TEST_F(NetshNmLab, OtherLinksGoToTheHelperOrAreRefused)
{
    ASSERT_EQ(
        runProcess({ "ip", "link", "add", "lan1", "type", "veth", "peer", "name", "lan1p" }).exitCode, 0);
    ASSERT_EQ(runProcess({ "ip", "link", "set", "lan1", "up" }).exitCode, 0);
    const std::vector<std::string> setLan1 { "interface", "ip", "set", "address", "name=lan1",
        "source=static", "addr=198.51.100.5", "mask=255.255.255.0" };
    expectOk(netsh(setLan1), "a link NetworkManager does not manage");
    EXPECT_NE(addressesOf("lan1").find("198.51.100.5/24"), std::string::npos) << addressesOf("lan1");
    {
        const FakeNetworkd networkd({ "lan1" });
        ASSERT_TRUE(networkd.ready());
        auto other = setLan1;
        other[6] = "addr=198.51.100.6";
        const auto r = netsh(other);
        EXPECT_EQ(r.exitCode, 1) << r.out;
        EXPECT_NE(r.err.find("systemd-networkd"), std::string::npos) << r.err;
        EXPECT_NE(addressesOf("lan1").find("198.51.100.5/24"), std::string::npos) << addressesOf("lan1");
        EXPECT_EQ(addressesOf("lan1").find("198.51.100.6"), std::string::npos) << addressesOf("lan1");
        // NetworkManager's own link is still NetworkManager's.
        expectOk(netsh(c8("192.0.2.53")), "C8 on lan0");
    }
    runProcess({ "ip", "link", "del", "lan1" });
}

// Who may change a link NetworkManager manages is for NetworkManager's rules
// to say, per user, as for NetworkManager's own tools. A refused command
// leaves link and profile as they were, also where NetworkManager took the
// profile and then refused to apply it (the profile is put back).
struct UserCase {
    const char* user;
    bool allowed;
    const char* reason; // NetworkManager's, in the refusal
};

// The lab's rules (scripts/lab): with auth-polkit=root-only no one but root;
// with polkit, user daemon may do everything, bin may edit the profile but not
// apply it, and nobody gets NetworkManager's default, which without a session
// refuses.
std::vector<UserCase> usersFor(const std::string& auth)
{
    if (auth == "root-only")
        return { { "nobody", false, "Insufficient privileges" } };
    if (auth == "polkit")
        return {
            { "bin", false, "Not authorized to control networking" },
            { "nobody", false, "Insufficient privileges" },
            { "daemon", true, nullptr },
        };
    return {};
}

TEST_F(NetshNmLab, NetworkManagersRulesDecideForEachUser)
{
    const auto cases = usersFor(env("TARNWICK_LAB_NM_AUTH"));
    if (cases.empty())
        GTEST_SKIP() << "needs a lab with TARNWICK_LAB_NM_AUTH=root-only or polkit";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.user);
        const Link before = link();
        const std::string profile = profileField("ipv4");
        auto args = c3("192.0.2.77", "255.255.255.0", "192.0.2.1");
        args.insert(args.begin(), binPath("netsh"));
        args.insert(args.begin(), { "setpriv", "--reuid", c.user, "--regid", "nogroup", "--clear-groups" });
        const auto r = runProcess(args);
        if (c.allowed) {
            EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
            EXPECT_NE(r.out.find("确定"), std::string::npos) << r.out;
            EXPECT_TRUE(link().nm.addresses.count("192.0.2.77/24")) << link();
            continue;
        }
        EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
        EXPECT_NE(r.err.find(std::string("NetworkManager 未能完成更改：") + c.reason), std::string::npos)
            << r.err;
        EXPECT_NE(r.err.find("未作任何更改"), std::string::npos) << r.err;
        EXPECT_EQ(r.out.find("确定"), std::string::npos) << r.out;
        EXPECT_EQ(link(), before);
        EXPECT_EQ(profileField("ipv4"), profile);
    }
}
