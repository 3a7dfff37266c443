// Runs inside a lab (scripts/lab run): the status scenarios against the real
// netlink back end, and the command-line verbs against the lab's links.
#include "LabNetwork.h"
#include "StatusScenarios.h"

#include "Process.h"
#include "TempDir.h"

#include "linkstate/LinkState.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <net/if.h>
#include <sstream>
#include <thread>

using namespace tarnwick;
using namespace tarnwick::test;

INSTANTIATE_TYPED_TEST_SUITE_P(Netlink, StatusScenario, LabNetwork);

namespace
{

std::map<std::string, std::string> keyValues(const std::string& out)
{
    std::map<std::string, std::string> kv;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        const auto eq = line.find('=');
        if (eq != std::string::npos)
            kv[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return kv;
}

std::string readFile(const std::filesystem::path& p)
{
    std::ifstream in(p);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The lab's resolver file as seen from the host side; `ip netns exec` shows it
// to this process and its children as /etc/resolv.conf.
std::filesystem::path labResolvConf()
{
    return std::filesystem::path("/etc/netns") / std::getenv("TARNWICK_LAB_LAPTOP_NS") / "resolv.conf";
}

class StatusCli : public ::testing::Test
{
protected:
    void SetUp() override
    {
        labDir(); // throws outside a lab
        std::filesystem::create_directories(home.path() / "registry");
    }
    void TearDown() override
    {
        runProcess({ "ip", "-4", "addr", "flush", "dev", "lan0" });
        std::ofstream(labResolvConf(), std::ios::trunc) << "# resolver file of the lab\n";
    }
    std::map<std::string, std::string> status(const std::vector<std::string>& extra = {})
    {
        std::vector<std::string> argv { binPath("tarnwick"), "status" };
        argv.insert(argv.end(), extra.begin(), extra.end());
        const ProcessResult r = runProcess(argv, env());
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return keyValues(r.out);
    }
    std::map<std::string, std::string> env() const
    {
        return { { "TARNWICK_HOME", home.path().string() }, { "GSETTINGS_BACKEND", "memory" } };
    }
    void writeSettings(const std::string& defaultNetCard)
    {
        std::ofstream(home.path() / "registry" / "HKEY_LOCAL_MACHINE.reg")
            << "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\tarnwick]\n\"DefaultNetCard\"=\"" << defaultNetCard
            << "\"\n";
    }

    TempDir home;
};

} // namespace

TEST_F(StatusCli, AdaptersListsTheLabLinkWithItsHardwareAddress)
{
    const ProcessResult r = runProcess({ binPath("tarnwick"), "adapters" }, env());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::string mac = readFile("/sys/class/net/lan0/address");
    mac.erase(mac.find_last_not_of("\n") + 1);
    EXPECT_EQ(r.out, "0\tlan0 - veth\t" + mac + "\n") << "lo is no adapter";
}

TEST_F(StatusCli, StaticAddressesAndGatewaysReadBackExactly)
{
    mustRun({ "ip", "addr", "add", "192.0.2.10/24", "dev", "lan0" });
    mustRun({ "ip", "addr", "add", "192.0.2.11/24", "dev", "lan0" });
    mustRun({ "ip", "addr", "add", "192.0.2.12/24", "dev", "lan0" });
    // Added in the "wrong" order: the metric decides which is first.
    mustRun({ "ip", "route", "add", "default", "via", "192.0.2.2", "dev", "lan0", "metric", "2" });
    mustRun({ "ip", "route", "add", "default", "via", "192.0.2.1", "dev", "lan0", "metric", "1" });
    std::ofstream(labResolvConf(), std::ios::trunc) << "nameserver 192.0.2.53\nnameserver 192.0.2.54\n";

    auto kv = status({ "--adapter", "0" });
    EXPECT_EQ(kv["mode"], "192.0.2.10");
    EXPECT_EQ(kv["ip1"], "192.0.2.10");
    EXPECT_EQ(kv["ip2"], "192.0.2.11");
    EXPECT_EQ(kv["ip3"], "192.0.2.12");
    EXPECT_EQ(kv["mask1"], "255.255.255.0");
    EXPECT_EQ(kv["mask2"], "255.255.255.0");
    EXPECT_EQ(kv["mask3"], "255.255.255.0");
    EXPECT_EQ(kv["gateway1"], "192.0.2.1");
    EXPECT_EQ(kv["gateway2"], "192.0.2.2");
    EXPECT_EQ(kv["dns1"], "192.0.2.53");
    EXPECT_EQ(kv["dns2"], "192.0.2.54");
    EXPECT_EQ(kv["dns3"], "");
    EXPECT_EQ(kv["panel0"], "IP: 192.0.2.10");
    EXPECT_EQ(kv["panel2"], "Gate: 192.0.2.1");
    EXPECT_EQ(kv["panel3"], "DNS: 192.0.2.53,192.0.2.54");
    EXPECT_EQ(kv["proxy_enabled"], "0");
    EXPECT_EQ(kv["hint"].rfind("连接名称:  lan0\\r设备名称:  veth\\r设备ID:    ", 0), 0u) << kv["hint"];
}

TEST_F(StatusCli, DhcpLeaseFromTheLabReadsAsDhcp)
{
    const auto dir = labDir();
    const std::string pidFile = (dir / "dhclient-lan0.pid").string();
    const std::string leaseFile = (dir / "dhclient-lan0.leases").string();
    // -1: one try, then fail instead of retrying forever; stays as a daemon with the lease.
    mustRun({ "dhclient", "-1", "-pf", pidFile, "-lf", leaseFile, "lan0" });
    const auto kv = status({ "--adapter", "0" });
    runProcess({ "dhclient", "-r", "-pf", pidFile, "-lf", leaseFile, "lan0" });

    EXPECT_EQ(kv.at("mode"), "DHCP");
    EXPECT_EQ(kv.at("ip1").rfind("192.0.2.1", 0), 0u) << kv.at("ip1"); // pool .100 - .199
    EXPECT_EQ(kv.at("mask1"), "255.255.255.0");
    EXPECT_EQ(kv.at("ip2"), "");
    EXPECT_EQ(kv.at("gateway1"), "192.0.2.1") << "the lease's gateway is in force";
    EXPECT_EQ(kv.at("panel2"), "Gate: 192.0.2.1");
    EXPECT_EQ(kv.at("dns1"), "192.0.2.53") << "and so are its servers (dhclient's script wrote them)";
}

// netsh's own client: the lease's gateway and servers, as the window shows
// them, while the DNS choice stays automatic.
TEST_F(StatusCli, NetshLeaseShowsItsGatewayAndServers)
{
    const auto netsh = [&](const std::vector<std::string>& args) {
        std::vector<std::string> argv { binPath("netsh"), "interface", "ip", "set" };
        argv.insert(argv.end(), args.begin(), args.end());
        const ProcessResult r = runProcess(argv);
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    };
    netsh({ "address", "name=lan0", "source=dhcp" });
    netsh({ "dns", "name=lan0", "source=dhcp" });
    const auto kv = status({ "--adapter", "0" });
    netsh({ "address", "name=lan0", "source=static", "addr=192.0.2.250", "mask=255.255.255.0" });
    removeLinkState("lan0");

    EXPECT_EQ(kv.at("mode"), "DHCP");
    EXPECT_EQ(kv.at("ip1").rfind("192.0.2.1", 0), 0u) << kv.at("ip1");
    EXPECT_EQ(kv.at("gateway1"), "192.0.2.1");
    EXPECT_EQ(kv.at("gateway2"), "");
    EXPECT_EQ(kv.at("dns1"), "192.0.2.53");
    EXPECT_EQ(kv.at("dns2"), "192.0.2.54");
    EXPECT_EQ(kv.at("panel2"), "Gate: 192.0.2.1");
    EXPECT_EQ(kv.at("panel3"), "DNS: 192.0.2.53,192.0.2.54");
}

TEST_F(StatusCli, AddressWithoutLifetimeIsStaticEvenNextToAFormerLease)
{
    // What decides DHCP is the lease's lifetime on the address, not a process
    // name: dhclients of other labs run for "lan0" too, in the same process space.
    mustRun({ "ip", "addr", "add", "192.0.2.30/24", "dev", "lan0" });
    EXPECT_EQ(status({ "--adapter", "0" })["mode"], "192.0.2.30");
    mustRun(
        { "ip", "addr", "add", "192.0.2.31/24", "dev", "lan0", "valid_lft", "300", "preferred_lft", "300" });
    const auto kv = status({ "--adapter", "0" });
    EXPECT_EQ(kv.at("mode"), "DHCP");
    EXPECT_EQ(kv.at("ip1"), "192.0.2.31") << "the leased address, not the static one beside it";
}

TEST_F(StatusCli, WithoutAdapterArgumentTheStoredSelectionDecides)
{
    addSecondLink();
    mustRun({ "ip", "addr", "add", "198.51.100.5/24", "dev", "lan1" });
    writeSettings("1");
    auto kv = status();
    EXPECT_EQ(kv["ip1"], "198.51.100.5");
    writeSettings("5");
    kv = status();
    EXPECT_NE(kv["hint"].find("lan0"), std::string::npos) << "out of range: line 0";
    // The window's placeholders stay in the window: the command line says
    // that there is no such adapter.
    const auto missing = runProcess({ binPath("tarnwick"), "status", "--adapter", "2" }, env());
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_NE(missing.err.find("no adapter 2 (adapters found: 2"), std::string::npos) << missing.err;
    runProcess({ "ip", "link", "del", "lan1" });
}

TEST_F(StatusCli, ProxyComesFromGSettingsOrElseTheRegistryStore)
{
    mustRun({ "ip", "addr", "add", "192.0.2.40/24", "dev", "lan0" });
    std::ofstream(home.path() / "registry" / "HKEY_CURRENT_USER.reg")
        << "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet "
           "Settings]\n"
           "\"ProxyEnable\"=dword:00000001\n\"ProxyServer\"=\"proxy.corp:8080\"\n";
    const std::vector<std::string> argv { binPath("tarnwick"), "status", "--adapter", "0" };

    // The desktop's schema is installed: GSettings decides (mode "none": off).
    std::filesystem::create_directories(home.path() / "xdg/glib-2.0/settings");
    std::ofstream(home.path() / "xdg/glib-2.0/settings/keyfile")
        << "[system/proxy]\nmode='none'\n\n[system/proxy/http]\nhost='desk.proxy'\nport=3128\n";
    auto withDesktop = env();
    withDesktop["GSETTINGS_BACKEND"] = "keyfile";
    withDesktop["XDG_CONFIG_HOME"] = (home.path() / "xdg").string();
    ProcessResult r = runProcess(argv, withDesktop);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto kv = keyValues(r.out);
    EXPECT_EQ(kv["proxy_enabled"], "0");
    EXPECT_EQ(kv["proxy_host"], "desk.proxy");
    EXPECT_EQ(kv["proxy_port"], "3128");

    // No schema (no desktop installed): the registry store's values.
    auto noDesktop = env();
    noDesktop["XDG_DATA_DIRS"] = (home.path() / "no-schemas").string();
    r = runProcess(argv, noDesktop);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    kv = keyValues(r.out);
    EXPECT_EQ(kv["proxy_enabled"], "1");
    EXPECT_EQ(kv["proxy_host"], "proxy.corp");
    EXPECT_EQ(kv["proxy_port"], "8080");
}

TEST(LinkStateInLab, NetshRecordDecidesNameServerAndDhcpAndIsReReadWhenWritten)
{
    labDir(); // throws outside a lab
    mustRun({ "ip", "addr", "add", "192.0.2.50/24", "dev", "lan0" });
    const int ifindex = static_cast<int>(::if_nametoindex("lan0"));
    linuxnet::LinuxLiveValuesSource source(
        nullptr, linuxnet::ResolvedServers::Mode::Wait, labDir() / "no-resolv.conf");
    const AdapterEntry lan0 { "", "lan0", "veth" };

    LinkState state;
    state.ifindex = ifindex;
    state.dnsAutomatic = false;
    state.staticDns = { "192.0.2.53", "192.0.2.54", "192.0.2.55" };
    writeLinkState("lan0", state);
    InterfaceReading r = source.readInterface(lan0);
    EXPECT_FALSE(r.dhcp);
    EXPECT_EQ(r.nameServer, "192.0.2.53,192.0.2.54,192.0.2.55");
    EXPECT_EQ(r.dnsInForce, "192.0.2.53");

    // netsh switched the link to DHCP (its client has no lease yet) with DNS from DHCP.
    state.dhcp = true;
    state.dnsAutomatic = true;
    state.dhcpDns = { "192.0.2.54" };
    writeLinkState("lan0", state);
    r = source.readInterface(lan0);
    EXPECT_TRUE(r.dhcp);
    EXPECT_EQ(r.nameServer, "192.0.2.54") << "the lease's servers are in force";
    EXPECT_TRUE(r.dnsFromLease);
    EXPECT_EQ(r.dnsInForce, "192.0.2.54");
    EXPECT_EQ(r.ip, std::vector<std::string> { "192.0.2.50" });

    // A state left by an earlier link of the same name is not this link's.
    state.ifindex = ifindex + 100;
    writeLinkState("lan0", state);
    r = source.readInterface(lan0);
    EXPECT_FALSE(r.dhcp);
    EXPECT_EQ(r.nameServer, "") << "static without netsh's record: the resolver file, here absent";
    runProcess({ "ip", "-4", "addr", "flush", "dev", "lan0" });
}
