// The values of a switch checked before its first command: the message names
// the field as the window labels it and the value; automatic modes and empty
// optional fields pass.
#include "apply/ValueCheck.h"

#include <gtest/gtest.h>

#include <functional>

using namespace tarnwick;

namespace
{

// Manual addressing and DNS, every value usable.
TcpIpConfig good()
{
    TcpIpConfig f;
    f.fixedIp = true;
    f.fixedDns = true;
    f.ip[0] = "192.168.0.9";
    f.mask[0] = "255.255.255.0";
    f.gateway[0] = "192.168.0.1";
    f.dns[0] = "192.168.0.1";
    return f;
}

} // namespace

TEST(ValueCheck, RefusesWithTheFieldAndValueOrLetsThrough)
{
    struct Case {
        const char* name;
        std::function<void(TcpIpConfig&)> change;
        const char* refusal; // nullptr: accepted
    };
    const Case cases[] = {
        { "all usable", [](TcpIpConfig&) {}, nullptr },
        { "blanks around values are trimmed", [](TcpIpConfig& f) { f.ip[0] = " 192.168.0.9\t"; }, nullptr },
        { "a part above 255", [](TcpIpConfig& f) { f.ip[0] = "999.1.1.9"; },
            "IP地址“999.1.1.9”不是有效的 IPv4 地址：应为四段 0 到 255 的十进制数，如 "
            "192.168.0.1。未作任何更改。" },
        { "letters", [](TcpIpConfig& f) { f.ip[0] = "abc"; },
            "IP地址“abc”不是有效的 IPv4 地址：应为四段 0 到 255 的十进制数，如 192.168.0.1。未作任何更改。" },
        { "an empty first address", [](TcpIpConfig& f) { f.ip[0] = " "; }, "IP地址为空。未作任何更改。" },
        { "an address without its mask", [](TcpIpConfig& f) { f.mask[0] = ""; },
            "IP地址“192.168.0.9”已填写，子网掩码却为空。未作任何更改。" },
        { "address 2 without mask 2", [](TcpIpConfig& f) { f.ip[1] = "10.0.0.5"; },
            "IP地址2“10.0.0.5”已填写，子网掩码2却为空。未作任何更改。" },
        { "mask 3 without address 3", [](TcpIpConfig& f) { f.mask[2] = "255.255.0.0"; },
            "IP地址3为空，子网掩码3“255.255.0.0”却已填写。未作任何更改。" },
        { "a mask with holes", [](TcpIpConfig& f) { f.mask[0] = "255.0.255.0"; },
            "子网掩码“255.0.255.0”无效：掩码中的 1 位必须连续。未作任何更改。" },
        { "a zero mask", [](TcpIpConfig& f) { f.mask[0] = "0.0.0.0"; },
            "子网掩码“0.0.0.0”无效：掩码不能为 0.0.0.0。未作任何更改。" },
        { "a leading zero", [](TcpIpConfig& f) { f.ip[0] = "192.168.0.09"; },
            "IP地址“192.168.0.09”含有以 0 开头的段，含义不明：请去掉前导 0。未作任何更改。" },
        { "the subnet's broadcast address", [](TcpIpConfig& f) { f.ip[0] = "192.168.0.255"; },
            "IP地址“192.168.0.255”是子网掩码 255.255.255.0 下的广播地址，不能用作主机地址。未作任何更改。" },
        { "a /31 has no broadcast address",
            [](TcpIpConfig& f) {
                f.ip[0] = "10.0.0.1";
                f.mask[0] = "255.255.255.254";
                f.gateway[0] = "10.0.0.0";
            },
            nullptr },
        { "a loopback gateway", [](TcpIpConfig& f) { f.gateway[0] = "127.0.0.1"; },
            "默认网关“127.0.0.1”不能使用：这是本机回环地址（127.0.0.0/8）。未作任何更改。" },
        { "a bad gateway 2", [](TcpIpConfig& f) { f.gateway[1] = "192.168.0"; },
            "默认网关2“192.168.0”不是有效的 IPv4 地址：应为四段 0 到 255 的十进制数，如 "
            "192.168.0.1。未作任何更改。" },
        { "a gateway outside the subnet is accepted", [](TcpIpConfig& f) { f.gateway[0] = "10.9.9.1"; },
            nullptr },
        { "a bad DNS server 2", [](TcpIpConfig& f) { f.dns[1] = "8.8.8"; },
            "备用DNS服务器“8.8.8”不是有效的 IPv4 地址：应为四段 0 到 255 的十进制数，如 "
            "192.168.0.1。未作任何更改。" },
        { "a multicast DNS 4", [](TcpIpConfig& f) { f.dns[3] = "224.0.0.251"; },
            "DNS4“224.0.0.251”不能使用：这是组播地址（224.0.0.0/4）。未作任何更改。" },
        { "a local resolver is a DNS server", [](TcpIpConfig& f) { f.dns[0] = "127.0.0.53"; }, nullptr },
        { "an empty first DNS server clears them", [](TcpIpConfig& f) { f.dns[0] = ""; }, nullptr },
        { "automatic addressing checks no address, mask or gateway",
            [](TcpIpConfig& f) {
                f.fixedIp = false;
                f.ip[0] = "abc";
                f.mask[1] = "x";
                f.gateway[0] = "999.1.1.1";
            },
            nullptr },
        { "automatic DNS checks no server",
            [](TcpIpConfig& f) {
                f.fixedDns = false;
                f.dns[1] = "abc";
            },
            nullptr },
        { "automatic addressing still checks manual DNS",
            [](TcpIpConfig& f) {
                f.fixedIp = false;
                f.dns[0] = "1.2.3.999";
            },
            "首选DNS服务器“1.2.3.999”不是有效的 IPv4 地址：应为四段 0 到 255 的十进制数，如 "
            "192.168.0.1。未作任何更改。" },
        { "the proxy is not an address of the switch",
            [](TcpIpConfig& f) {
                f.proxyTakesPart = true;
                f.proxyHost = "proxy.lan";
                f.proxyPort = "80a";
            },
            nullptr },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TcpIpConfig f = good();
        c.change(f);
        const auto refusal = refuseValues(f);
        if (c.refusal)
            EXPECT_EQ(refusal, std::string(c.refusal));
        else
            EXPECT_EQ(refusal, std::nullopt) << *refusal;
    }
}

TEST(ValueCheck, NotesEachGatewayOutsideTheNewSubnets)
{
    TcpIpConfig f = good();
    EXPECT_TRUE(valueNotes(f).empty());
    f.ip[1] = "10.1.0.5";
    f.mask[1] = "255.255.0.0";
    f.gateway[0] = "10.1.200.1"; // in the second address's subnet
    f.gateway[1] = "172.16.0.1";
    EXPECT_EQ(valueNotes(f),
        std::vector<std::string> { "注意：默认网关2“172.16.0.1”不在新地址的子网内，仍照样设置。" });
    f.fixedIp = false;
    EXPECT_TRUE(valueNotes(f).empty()) << "automatic addressing sets no gateway";
}
