// Which stored configuration is the one in force, as a table: what each kind
// of configuration sets must equal what is in force; what it leaves to a
// lease or does not take part in is not compared.
#include "base/InForce.h"

#include <gtest/gtest.h>

using namespace tarnwick;

namespace
{

TcpIpConfig office()
{
    TcpIpConfig c;
    c.fixedIp = true;
    c.fixedDns = true;
    c.ip = { "192.168.10.23", "10.0.0.5", "" };
    c.mask = { "255.255.255.0", "255.0.0.0", "" };
    c.gateway = { "192.168.10.1", "" };
    c.dns = { "192.168.10.2", "202.96.134.133", "", "" };
    return c;
}

TcpIpConfig home()
{
    TcpIpConfig c; // DHCP, DNS from the lease
    c.ip = { "192.168.1.7", "", "" }; // what was in force when it was saved
    return c;
}

TcpIpConfig leased()
{
    TcpIpConfig c;
    c.ip = { "192.0.2.149", "", "" };
    c.mask = { "255.255.255.0", "", "" };
    c.gateway = { "192.0.2.1", "" };
    c.dns = { "192.0.2.53", "192.0.2.54", "", "" };
    return c;
}

template <typename F> TcpIpConfig with(TcpIpConfig c, F change)
{
    change(c);
    return c;
}

} // namespace

TEST(InForce, EachKindComparesWhatItSets)
{
    const struct {
        const char* what;
        TcpIpConfig stored;
        TcpIpConfig inForce;
        bool expected;
    } cases[] = {
        { "the same static values", office(), office(), true },
        { "blanks and leading zeros are no difference",
            with(office(), [](auto& c) { c.ip[0] = " 192.168.010.023 "; }), office(), true },
        { "a gap between filled slots is no value",
            with(office(),
                [](auto& c) {
                    c.dns = { "", "192.168.10.2", "", "202.96.134.133" };
                }),
            office(), true },
        { "another address", office(), with(office(), [](auto& c) { c.ip[0] = "192.168.10.24"; }), false },
        { "another mask", office(), with(office(), [](auto& c) { c.mask[1] = "255.255.0.0"; }), false },
        { "an extra address in force", office(),
            with(office(),
                [](auto& c) {
                    c.ip[2] = "10.0.0.6";
                    c.mask[2] = "255.0.0.0";
                }),
            false },
        { "a second gateway in force", office(), with(office(), [](auto& c) { c.gateway[1] = "10.0.0.1"; }),
            false },
        { "DNS servers in another order", office(),
            with(office(), [](auto& c) { std::swap(c.dns[0], c.dns[1]); }), false },
        { "static against a lease", office(), leased(), false },
        { "DHCP with the lease's servers: the lease's values are not compared", home(), leased(), true },
        { "DHCP against static", home(), office(), false },
        { "DHCP with fixed servers, the same servers",
            with(home(),
                [](auto& c) {
                    c.fixedDns = true;
                    c.dns = { "192.0.2.53", "192.0.2.54", "", "" };
                }),
            with(leased(), [](auto& c) { c.fixedDns = true; }), true },
        { "DHCP with fixed servers, the lease's in force",
            with(home(),
                [](auto& c) {
                    c.fixedDns = true;
                    c.dns = { "192.0.2.53", "", "", "" };
                }),
            leased(), false },
        { "a proxy that takes no part is not compared",
            with(office(),
                [](auto& c) {
                    c.proxyOn = true;
                    c.proxyHost = "10.0.0.8";
                }),
            office(), true },
        { "a proxy that takes part and is off in force",
            with(office(),
                [](auto& c) {
                    c.proxyTakesPart = true;
                    c.proxyOn = true;
                    c.proxyHost = "10.0.0.8";
                    c.proxyPort = "8080";
                }),
            office(), false },
        { "a proxy that takes part, the same",
            with(office(),
                [](auto& c) {
                    c.proxyTakesPart = true;
                    c.proxyOn = true;
                    c.proxyHost = "10.0.0.8";
                    c.proxyPort = "8080";
                }),
            with(office(),
                [](auto& c) {
                    c.proxyOn = true;
                    c.proxyHost = "10.0.0.8";
                    c.proxyPort = "8080";
                }),
            true },
    };
    for (const auto& c : cases)
        EXPECT_EQ(isInForce(c.stored, c.inForce), c.expected) << c.what;
}
