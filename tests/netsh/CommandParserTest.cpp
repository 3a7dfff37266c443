#include "netsh/CommandParser.h"
#include "netsh/LeaseEvent.h"
#include "netsh/ResolvConf.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace tarnwick;
using namespace tarnwick::netsh;

namespace
{

std::vector<std::string> argsOf(std::initializer_list<const char*> list)
{
    return { list.begin(), list.end() };
}

Ipv4 ip(const char* text)
{
    return *parseIpv4(text);
}

Command command(Verb verb)
{
    Command c;
    c.verb = verb;
    c.name = "Local Area Connection";
    return c;
}

struct TemplateCase {
    const char* id;
    std::vector<std::string> args; // as the runner splits the template
    Command expected;
};

std::vector<TemplateCase> templateCases()
{
    std::vector<TemplateCase> cases;
    const char* name = "name=Local Area Connection";
    Command c1 = command(Verb::SetAddressDhcp);
    cases.push_back({ "C1", argsOf({ "interface", "ip", "set", "address", name, "source=dhcp" }), c1 });
    Command c2 = command(Verb::SetAddressStatic);
    c2.address = ip("192.168.0.9");
    c2.prefix = 24;
    cases.push_back({ "C2",
        argsOf({ "interface", "ip", "set", "address", name, "source=static", "addr=192.168.0.9",
            "mask=255.255.255.0" }),
        c2 });
    Command c3 = c2;
    c3.gateway = ip("192.168.0.1");
    c3.metric = 1;
    cases.push_back({ "C3",
        argsOf({ "interface", "ip", "set", "address", name, "source=static", "addr=192.168.0.9",
            "mask=255.255.255.0", "gateway=192.168.0.1", "gwmetric=1" }),
        c3 });
    Command c4 = command(Verb::AddAddress);
    c4.address = ip("10.0.0.2");
    c4.prefix = 8;
    cases.push_back({ "C4",
        argsOf({ "interface", "ip", "add", "address", name, "addr=10.0.0.2", "mask=255.0.0.0" }), c4 });
    Command c5 = command(Verb::SetGateway);
    c5.gateway = ip("192.168.0.1");
    c5.metric = 1;
    cases.push_back({ "C5",
        argsOf({ "interface", "ip", "set", "address", name, "gateway=192.168.0.1", "gwmetric=1" }), c5 });
    Command c6 = command(Verb::AddGateway);
    c6.gateway = ip("192.168.0.2");
    c6.metric = 2;
    cases.push_back({ "C6",
        argsOf({ "interface", "ip", "add", "address", name, "gateway=192.168.0.2", "gwmetric=2" }), c6 });
    cases.push_back({ "C7", argsOf({ "interface", "ip", "set", "dns", name, "source=dhcp" }),
        command(Verb::SetDnsDhcp) });
    Command c8 = command(Verb::SetDnsStatic);
    c8.dns = ip("192.168.0.1");
    cases.push_back(
        { "C8", argsOf({ "interface", "ip", "set", "dns", name, "source=static", "addr=192.168.0.1" }), c8 });
    cases.push_back({ "C8 with an empty server",
        argsOf({ "interface", "ip", "set", "dns", name, "source=static", "addr=" }),
        command(Verb::SetDnsStatic) });
    cases.push_back(
        { "C8 with none", argsOf({ "interface", "ip", "set", "dns", name, "source=static", "addr=None" }),
            command(Verb::SetDnsStatic) });
    Command c9 = command(Verb::AddDns);
    c9.dns = ip("8.8.4.4");
    c9.index = 3;
    cases.push_back(
        { "C9", argsOf({ "interface", "ip", "add", "dns", name, "addr=8.8.4.4", "index=3" }), c9 });
    Command upper = c3;
    cases.push_back({ "keywords in capitals",
        argsOf({ "INTERFACE", "IP", "Set", "Address", "NAME=Local Area Connection", "Source=STATIC",
            "ADDR=192.168.0.9", "Mask=255.255.255.0", "GATEWAY=192.168.0.1", "GWMETRIC=1" }),
        upper });
    Command show;
    show.verb = Verb::ShowConfig;
    cases.push_back({ "show config of all", argsOf({ "interface", "ip", "show", "config" }), show });
    return cases;
}

} // namespace

TEST(CommandParser, EveryTemplateOfTheApplyParses)
{
    for (const auto& c : templateCases()) {
        const ParseResult result = parseCommand(c.args);
        ASSERT_TRUE(std::holds_alternative<Command>(result))
            << c.id << ": " << std::get<ParseError>(result).message;
        EXPECT_EQ(std::get<Command>(result), c.expected) << c.id;
    }
}

TEST(CommandParser, BadValuesAreNamedInTheMessage)
{
    struct Case {
        std::vector<std::string> args;
        std::string mentions;
        bool usage;
    };
    const std::vector<Case> cases = {
        { argsOf({ "interface", "ip", "set", "address", "name=lan0", "source=static", "addr=192.168.0.256",
              "mask=255.255.255.0" }),
            "192.168.0.256", false },
        { argsOf({ "interface", "ip", "set", "address", "name=lan0", "source=static", "addr=1.2.3",
              "mask=255.255.255.0" }),
            "1.2.3", false },
        { argsOf({ "interface", "ip", "set", "address", "name=lan0", "source=static", "addr=1.2.3.4",
              "mask=255.0.255.0" }),
            "255.0.255.0", false },
        { argsOf({ "interface", "ip", "set", "address", "name=lan0", "source=static", "addr=1.2.3.4",
              "mask=0.0.0.0" }),
            "0.0.0.0", false },
        { argsOf({ "interface", "ip", "set", "address", "name=lan0", "gateway=1.2.3.4", "gwmetric=abc" }),
            "abc", false },
        { argsOf({ "interface", "ip", "set", "address", "name=lan0", "gateway=1.2.3.4", "gwmetric=10000" }),
            "10000", false },
        { argsOf({ "interface", "ip", "add", "dns", "name=lan0", "addr=1.1.1.1", "index=0" }), "index",
            false },
        { argsOf({ "interface", "ip", "add", "dns", "name=lan0", "addr=1.1.1.1", "index=-1" }), "-1", false },
        { argsOf({ "interface", "ip", "set", "address", "name=a\"b", "source=dhcp" }), "a\"b", false },
        { argsOf({ "interface", "ip", "set", "address", "name=a\nb", "source=dhcp" }), "a\\nb", false },
        { argsOf({ "interface", "ip", "set", "address", "name=lan0", "source=dhcp", "colour=blue" }),
            "colour=blue", true },
        { argsOf({ "interface", "ip", "set", "address", "name=lan0", "source=static", "addr=1.2.3.4" }),
            "mask", true },
        { argsOf({ "interface", "ip", "set", "address", "name=lan0", "source=static",
              "addr=", "mask=255.0.0.0" }),
            "addr", false },
        { argsOf({ "interface", "ip", "set", "address", "name=", "source=dhcp" }), "name", false },
        { argsOf({ "interface", "ip", "set", "address", "source=dhcp" }), "name", true },
        { argsOf({ "interface", "ip", "set", "address", "name=lan0", "source=bootp" }), "bootp", false },
        { argsOf({ "interface", "ip", "set", "dns", "name=lan0", "source=static", "addr=1.1.1.1",
              "addr=2.2.2.2" }),
            "addr", true },
        { argsOf({ "interface", "ip", "delete", "address", "name=lan0" }), "delete", true },
        { argsOf({ "interface", "ipv6", "show", "config" }), "ipv6", true },
        { {}, "缺少命令", true },
    };
    for (const auto& c : cases) {
        const ParseResult result = parseCommand(c.args);
        ASSERT_TRUE(std::holds_alternative<ParseError>(result)) << c.mentions;
        const auto& error = std::get<ParseError>(result);
        EXPECT_NE(error.message.find(c.mentions), std::string::npos) << error.message;
        EXPECT_EQ(error.message.find('\n'), std::string::npos) << "one line: " << error.message;
        EXPECT_EQ(error.showUsage, c.usage) << error.message;
    }
}

// Values that no host may be given, each refused with the value and why.
TEST(CommandParser, AddressesNoHostMayHaveAreRefusedWithTheReason)
{
    const auto staticAddr = [](const char* addr, const char* mask = "255.255.255.0") {
        return argsOf({ "interface", "ip", "set", "address", "name=lan0", "source=static",
            (std::string("addr=") + addr).c_str(), (std::string("mask=") + mask).c_str() });
    };
    struct Case {
        std::vector<std::string> args;
        std::string mentions; // the value
        std::string why;
    };
    const std::vector<Case> cases = {
        { staticAddr("0.0.0.0"), "0.0.0.0", "不指向任何主机" },
        { staticAddr("255.255.255.255"), "255.255.255.255", "广播" },
        { staticAddr("127.0.0.5"), "127.0.0.5", "回环" },
        { staticAddr("224.0.0.1"), "224.0.0.1", "组播" },
        { staticAddr("240.1.2.3"), "240.1.2.3", "保留" },
        { staticAddr("192.0.2.0"), "192.0.2.0", "网络地址" },
        { staticAddr("192.0.2.255"), "192.0.2.255", "广播地址" },
        { staticAddr("010.0.0.1"), "010.0.0.1", "前导 0" },
        { staticAddr("192.0.2.1", "255.255.255.0"), "", "" }, // fine: no refusal
        { argsOf({ "interface", "ip", "set", "address", "name=lan0", "source=static", "addr=192.0.2.20",
              "mask=255.255.255.0", "gateway=127.0.0.1", "gwmetric=1" }),
            "127.0.0.1", "回环" },
        { argsOf({ "interface", "ip", "set", "address", "name=lan0", "source=static", "addr=192.0.2.20",
              "mask=255.255.255.0", "gateway=192.0.2.20", "gwmetric=1" }),
            "192.0.2.20", "接口自己的地址" },
        { argsOf({ "interface", "ip", "add", "address", "name=lan0", "gateway=0.0.0.0", "gwmetric=2" }),
            "0.0.0.0", "不指向任何主机" },
        { argsOf({ "interface", "ip", "add", "address", "name=lan0", "gateway=224.0.0.1", "gwmetric=2" }),
            "224.0.0.1", "组播" },
        { argsOf({ "interface", "ip", "set", "dns", "name=lan0", "source=static", "addr=0.0.0.0" }),
            "0.0.0.0", "不指向任何主机" },
        { argsOf({ "interface", "ip", "add", "dns", "name=lan0", "addr=255.255.255.255" }), "255.255.255.255",
            "广播" },
        { argsOf({ "interface", "ip", "set", "address", "name=lo", "source=dhcp" }), "lo", "回环接口" },
        { argsOf({ "interface", "ip", "set", "address", "name=-cevil", "source=dhcp" }), "-cevil",
            "以“-”开头" },
    };
    for (const auto& c : cases) {
        const ParseResult result = parseCommand(c.args);
        if (c.mentions.empty()) {
            EXPECT_TRUE(std::holds_alternative<Command>(result)) << c.args[6];
            continue;
        }
        ASSERT_TRUE(std::holds_alternative<ParseError>(result)) << c.mentions;
        const auto& error = std::get<ParseError>(result);
        EXPECT_NE(error.message.find(c.mentions), std::string::npos) << error.message;
        EXPECT_NE(error.message.find(c.why), std::string::npos) << error.message;
        EXPECT_FALSE(error.showUsage) << error.message;
    }
    // A local resolver on loopback is a DNS server like any other.
    EXPECT_TRUE(std::holds_alternative<Command>(
        parseCommand(argsOf({ "interface", "ip", "add", "dns", "name=lan0", "addr=127.0.0.1" }))));
}

TEST(Ipv4Rules, DottedQuadsAndMasks)
{
    EXPECT_EQ(formatIpv4(ip("192.168.001.010")), "192.168.1.10");
    for (const char* bad :
        { "", "1.2.3.4.", "1.2.3.4 ", " 1.2.3.4", "1..3.4", "1.2.3.1000", "0x1.2.3.4", "1.2.3.-4" })
        EXPECT_FALSE(parseIpv4(bad).has_value()) << bad;
    EXPECT_EQ(maskPrefix(ip("255.255.255.0")), 24);
    EXPECT_EQ(maskPrefix(ip("255.255.255.255")), 32);
    EXPECT_EQ(maskPrefix(ip("255.255.254.0")), 23);
    EXPECT_FALSE(maskPrefix(ip("255.255.0.255")).has_value());
    EXPECT_FALSE(maskPrefix(ip("0.255.255.255")).has_value());
    EXPECT_EQ(formatIpv4(prefixMask(20)), "255.255.240.0");
}

namespace
{

// The servers glibc reads: every `nameserver` line, in order.
std::vector<std::string> glibcServers(const std::string& file)
{
    std::vector<std::string> out;
    std::istringstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (line.starts_with("nameserver ") || line.starts_with("nameserver\t"))
            out.push_back(line.substr(11));
    }
    return out;
}

} // namespace

TEST(ResolvConfBlock, OnlyTheLinksOwnBlockChanges)
{
    const std::string base = "# written by hand\nnameserver 10.9.9.9\noptions edns0\n";
    const std::string withLan = updateResolvConf(base, "lan0", { "192.0.2.53", "192.0.2.54" });
    EXPECT_EQ(resolvConfServers(withLan, "lan0"), (std::vector<std::string> { "192.0.2.53", "192.0.2.54" }));
    const std::string both = updateResolvConf(withLan, "wlan0", { "10.0.0.1" });
    const std::string replaced = updateResolvConf(both, "lan0", { "1.1.1.1" });
    EXPECT_EQ(resolvConfServers(replaced, "lan0"), std::vector<std::string> { "1.1.1.1" });
    EXPECT_EQ(resolvConfServers(replaced, "wlan0"), std::vector<std::string> { "10.0.0.1" });
    EXPECT_EQ(glibcServers(replaced), (std::vector<std::string> { "1.1.1.1", "10.0.0.1" }));
    EXPECT_EQ(updateResolvConf(updateResolvConf(replaced, "lan0", {}), "wlan0", {}), base);
}

// The previous network's servers leave glibc's list while ours are in force;
// the file's other lines stay, and the file comes back whole when ours go.
TEST(ResolvConfBlock, OurServersAloneAreInForce)
{
    const struct {
        const char* file;
        std::vector<std::string> servers;
        const char* kept; // a line that must stay as it is
    } cases[] = {
        { "nameserver 198.51.100.1\nnameserver 198.51.100.2\n", { "192.0.2.53" }, "" },
        { "# generated\nsearch example.org\nnameserver 198.51.100.1\noptions edns0 trust-ad\n",
            { "192.0.2.53", "192.0.2.54" }, "search example.org\n" },
        { "domain example.org\nnameserver\t198.51.100.1\n", { "192.0.2.53" }, "domain example.org\n" },
        { "#nameserver 198.51.100.9\nnameserver 198.51.100.1", { "192.0.2.53" },
            "#nameserver 198.51.100.9\n" },
        { "", { "192.0.2.53" }, "" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string switched = updateResolvConf(c.file, "lan0", c.servers);
        EXPECT_EQ(glibcServers(switched), c.servers) << switched;
        EXPECT_NE(switched.find(c.kept), std::string::npos) << switched;
        const std::string again = updateResolvConf(switched, "lan0", { "203.0.113.53" });
        EXPECT_EQ(glibcServers(again), std::vector<std::string> { "203.0.113.53" }) << again;
        std::string whole = c.file;
        if (!whole.empty() && !whole.ends_with('\n'))
            whole += '\n';
        EXPECT_EQ(updateResolvConf(again, "lan0", {}), whole);
    }
}

TEST(LeaseEvents, EachClientsVariablesGiveOneEvent)
{
    const auto dhcpcd = parseLeaseEvent(
        { { "reason", "BOUND" }, { "interface", "lan0" }, { "pid", "321" },
            { "new_ip_address", "192.0.2.150" }, { "new_subnet_cidr", "24" }, { "new_routers", "192.0.2.1" },
            { "new_domain_name_servers", "192.0.2.53 192.0.2.54" } },
        {});
    EXPECT_EQ(dhcpcd.kind, LeaseEvent::Kind::Bound);
    EXPECT_EQ(dhcpcd.prefix, 24);
    EXPECT_EQ(dhcpcd.dns, (std::vector<std::string> { "192.0.2.53", "192.0.2.54" }));

    const auto dhclient = parseLeaseEvent(
        { { "reason", "RENEW" }, { "interface", "lan0" }, { "new_ip_address", "192.0.2.150" },
            { "new_subnet_mask", "255.255.255.0" }, { "new_dhcp_lease_time", "3600" } },
        {});
    EXPECT_EQ(dhclient.kind, LeaseEvent::Kind::Bound);
    EXPECT_EQ(dhclient.prefix, 24);
    EXPECT_EQ(dhclient.leaseSeconds, 3600u);

    const auto udhcpc = parseLeaseEvent({ { "interface", "lan0" }, { "ip", "192.0.2.150" },
                                            { "subnet", "255.255.0.0" }, { "dns", "192.0.2.53" } },
        { "bound" });
    EXPECT_EQ(udhcpc.kind, LeaseEvent::Kind::Bound);
    EXPECT_EQ(udhcpc.prefix, 16);
    EXPECT_EQ(parseLeaseEvent({ { "interface", "lan0" } }, { "deconfig" }).kind, LeaseEvent::Kind::Gone);
    EXPECT_EQ(
        parseLeaseEvent({ { "reason", "STOP" }, { "interface", "lan0" } }, {}).kind, LeaseEvent::Kind::Gone);
    EXPECT_EQ(parseLeaseEvent({ { "reason", "PREINIT" }, { "interface", "lan0" } }, {}).kind,
        LeaseEvent::Kind::Ignore);
}

TEST(LeaseEvents, ServerDataThatCouldEscapeTheResolverLineIsDropped)
{
    const auto event
        = parseLeaseEvent({ { "reason", "BOUND" }, { "interface", "lan0" },
                              { "new_ip_address", "192.0.2.150" }, { "new_subnet_mask", "255.255.255.0" },
                              { "new_domain_name_servers", "192.0.2.53\noptions\tndots:15 evil 1.1.1.1" } },
            {});
    EXPECT_EQ(event.dns, (std::vector<std::string> { "1.1.1.1" }));
    const auto noAddress
        = parseLeaseEvent({ { "reason", "BOUND" }, { "interface", "lan0" }, { "new_ip_address", "x" } }, {});
    EXPECT_EQ(noAddress.kind, LeaseEvent::Kind::Ignore);
}

// A lease is held to the rules of command values: an address, router or DNS
// server that no host may be given is dropped (a bound event without a
// usable address is ignored).
TEST(LeaseEvents, ValuesNoHostMayHaveAreDropped)
{
    const auto bound = [](const char* ip, const char* routers, const char* dns) {
        return parseLeaseEvent(
            { { "reason", "BOUND" }, { "interface", "lan0" }, { "new_ip_address", ip },
                { "new_subnet_cidr", "24" }, { "new_routers", routers }, { "new_domain_name_servers", dns } },
            {});
    };
    for (const char* ip :
        { "0.0.0.0", "127.0.0.1", "224.0.0.5", "255.255.255.255", "192.0.2.0", "192.0.2.255", "010.0.2.5" })
        EXPECT_EQ(bound(ip, "192.0.2.1", "192.0.2.53").kind, LeaseEvent::Kind::Ignore) << ip;
    const auto e
        = bound("192.0.2.150", "0.0.0.0 127.0.0.1 192.0.2.150 192.0.2.1", "255.255.255.255 192.0.2.53");
    EXPECT_EQ(e.kind, LeaseEvent::Kind::Bound);
    EXPECT_EQ(e.routers, std::vector<Ipv4> { Ipv4::of(192, 0, 2, 1) })
        << "no metric-0 route via a forged router";
    EXPECT_EQ(e.dns, std::vector<std::string> { "192.0.2.53" });
}
