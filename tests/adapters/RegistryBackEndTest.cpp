// The Windows back ends over the registry store, fed with .reg exports.
#include "adapters/RegistryProxySource.h"
#include "adapters/StatusUpdater.h"
#include "adapters/windows/MultiStringRule.h"
#include "adapters/windows/RegistryAdapterSource.h"
#include "adapters/windows/RegistryLiveValuesSource.h"
#include "base/MemoryRegistryStore.h"
#include "base/ServiceError.h"
#include "base/TRegistry.h"

#include "TestPaths.h"

#include <gtest/gtest.h>

using namespace tarnwick;
using namespace tarnwick::windows;

namespace
{

MemoryRegistryStore fixture(const char* name)
{
    return MemoryRegistryStore::fromRegFile(std::filesystem::path(test::kDataDir) / name);
}

constexpr const char* kGuidA = "{11111111-AAAA-4000-8000-000000000000}";
constexpr const char* kGuidC = "{77777777-CCCC-4000-8000-000000000000}";

} // namespace

TEST(RegistryAdapterSource, KeepsPresentAdaptersInSubkeyOrder)
{
    MemoryRegistryStore store = fixture("win-adapters-0000-0001-0007.reg");
    RegistryAdapterSource source(store);
    const AdapterTable table = makeAdapterTable(source.discover());
    ASSERT_EQ(table.count(), 2) << "0001 fails the presence test";
    EXPECT_EQ(
        table.at(0), (AdapterEntry { kGuidA, "本地连接", "Realtek RTL8139 Family PCI Fast Ethernet NIC" }));
    EXPECT_EQ(table.at(1), (AdapterEntry { kGuidC, "", "1394 Net Adapter" }));
    EXPECT_EQ(table.listLines(),
        (std::vector<std::string> {
            "本地连接 - Realtek RTL8139 Family PCI Fast Ethernet NIC", " - 1394 Net Adapter" }));
    EXPECT_EQ(selectAdapter("1", table.count()), 1);
    EXPECT_EQ(selectAdapter("5", table.count()), 0);
}

TEST(RegistryAdapterSource, NothingPresentGivesTheNoAdapterLine)
{
    MemoryRegistryStore store = fixture("win-no-adapter-present.reg");
    RegistryAdapterSource source(store);
    const AdapterTable table = makeAdapterTable(source.discover());
    EXPECT_EQ(table.count(), 0) << "disabled, beyond 0049, or without a PnP id";
    EXPECT_EQ(table.listLines(), std::vector<std::string> { "没找到网卡" });
    EXPECT_EQ(selectAdapter("0", table.count()), -1);

    MemoryRegistryStore empty;
    EXPECT_TRUE(RegistryAdapterSource(empty).discover().empty()) << "no class key at all";
}

TEST(RegistryLiveValuesSource, StaticAdapterReadsItsMultiStringsAndNameServer)
{
    MemoryRegistryStore store = fixture("win-adapters-0000-0001-0007.reg");
    RegistryLiveValuesSource source(store);
    const InterfaceReading r = source.readInterface({ kGuidA, "本地连接", "" });
    EXPECT_FALSE(r.dhcp);
    EXPECT_EQ(r.ip, (std::vector<std::string> { "192.168.1.10", "192.168.1.11", "192.168.1.12" }))
        << "the fourth dropped";
    EXPECT_EQ(r.mask, (std::vector<std::string> { "255.255.255.0", "255.255.255.0", "255.255.0.0" }));
    EXPECT_EQ(r.gateway, (std::vector<std::string> { "192.168.1.1", "192.168.1.254", "192.168.1.253" }));
    EXPECT_EQ(r.nameServer, "202.96.134.133,202.96.128.68,8.8.8.8");
    EXPECT_EQ(r.gatewayInForce, "192.168.1.1");
    EXPECT_EQ(r.dnsInForce, "202.96.134.133");
}

TEST(RegistryLiveValuesSource, DhcpAdapterReadsTheAutoconfigurationValues)
{
    MemoryRegistryStore store = fixture("win-adapters-0000-0001-0007.reg");
    RegistryLiveValuesSource source(store);
    const InterfaceReading r = source.readInterface({ kGuidC, "", "" });
    EXPECT_TRUE(r.dhcp);
    EXPECT_EQ(r.ip, std::vector<std::string> { "169.254.12.34" });
    EXPECT_EQ(r.mask, std::vector<std::string> { "255.255.0.0" });
    EXPECT_EQ(r.gateway, std::vector<std::string> { "10.1.0.1" }) << "the lease's gateway is in force";
    EXPECT_EQ(r.nameServer, "10.1.0.53,10.1.0.54") << "so are its servers";
    EXPECT_TRUE(r.dnsFromLease);
    EXPECT_EQ(r.gatewayInForce, "10.1.0.1") << "the probe's gateway comes from the lease";
    EXPECT_EQ(r.dnsInForce, "10.1.0.53");
}

TEST(RegistryLiveValuesSource, MissingKeyGivesEmptyTextsWithoutError)
{
    MemoryRegistryStore store = fixture("win-adapters-0000-0001-0007.reg");
    RegistryLiveValuesSource source(store);
    EXPECT_EQ(source.readInterface({ "{no-such-guid}", "x", "y" }), InterfaceReading {});
}

TEST(RegistryLiveValuesSource, MultiStringsStopAtShortStringsAndMissingSwitchesReadAsOff)
{
    MemoryRegistryStore store = fixture("win-multistring-stops-and-missing-switches.reg");
    RegistryLiveValuesSource source(store);
    const InterfaceReading r = source.readInterface({ "{33333333-DDDD-4000-8000-000000000000}", "Odd", "" });
    EXPECT_FALSE(r.dhcp) << "no EnableDHCP: static, no error";
    EXPECT_EQ(r.ip, std::vector<std::string> { "10.0.0.1" }) << "stops at the one-character string";
    EXPECT_EQ(r.mask, std::vector<std::string> { "255.0.0.0" }) << "stops at the empty string";
    EXPECT_TRUE(r.gateway.empty());
    const ProxyReading p = source.readProxy();
    EXPECT_FALSE(p.enabled) << "a text ProxyEnable is not the number 1";
    EXPECT_EQ(p.server, "proxy.only");
}

TEST(RegistryLiveValuesSource, FullRefreshOverTheRegistry)
{
    MemoryRegistryStore store = fixture("win-adapters-0000-0001-0007.reg");
    RegistryAdapterSource adapters(store);
    RegistryLiveValuesSource values(store);
    const AdapterTable table = makeAdapterTable(adapters.discover());
    LiveSnapshot snapshot;
    StatusUpdater updater(table, values, snapshot, [] { return LocalDateTime { 2012, 5, 8, 9, 5, 3 }; });

    StatusView view = updater.updateStatusBar(0, true);
    ASSERT_TRUE(view.fields);
    EXPECT_EQ(
        view.fields->dns, (std::array<std::string, 4> { "202.96.134.133", "202.96.128.68", "8.8.8.8", "" }));
    EXPECT_EQ(view.fields->gateway, (std::array<std::string, 2> { "192.168.1.1", "192.168.1.254" }));
    EXPECT_TRUE(view.fields->proxyOn);
    EXPECT_EQ(view.fields->proxyHost, "http=proxy.corp");
    EXPECT_EQ(view.fields->proxyPort, "8080;https=proxy.corp:8443");
    EXPECT_EQ(view.panels[3], "DNS: 202.96.134.133,202.96.128.68,8.8.8.8");
    EXPECT_EQ(*view.hint,
        "连接名称:  本地连接\r设备名称:  Realtek RTL8139 Family PCI Fast Ethernet NIC\r设备ID:    "
            + std::string(kGuidA));

    view = updater.updateStatusBar(1, false);
    ASSERT_TRUE(view.fields);
    EXPECT_FALSE(view.fields->fixedIp) << "DHCP";
    EXPECT_EQ(view.fields->ip[0], "169.254.12.34");
    EXPECT_EQ(view.fields->gateway[0], "10.1.0.1");
    EXPECT_EQ(view.fields->dns[1], "10.1.0.54");
    EXPECT_FALSE(view.fields->fixedDns) << "the lease's servers: automatic";
    EXPECT_EQ(view.panels[2], "Gate: 10.1.0.1");
    EXPECT_EQ(snapshot.get().mode, "DHCP");
    EXPECT_EQ(snapshot.get().config.gateway[0], "10.1.0.1");
}

TEST(MultiStringRule, StopsAfterThreeAtEmptyOrAtOneCharacter)
{
    struct Case {
        std::vector<std::string> in;
        std::vector<std::string> out;
    };
    const Case cases[] = {
        { {}, {} }, { { "a1", "b2", "c3", "d4" }, { "a1", "b2", "c3" } }, { { "a1", "", "c3" }, { "a1" } },
        { { "a1", "0", "c3" }, { "a1" } }, { { "0" }, {} }, { { "a1", "b2" }, { "a1", "b2" } },
        { { "ab", "cd" }, { "ab", "cd" } }, // two characters are kept
    };
    for (const Case& c : cases)
        EXPECT_EQ(takeMultiStrings(c.in), c.out);
}

TEST(RegistryProxy, WritesWhatTheStatusReadsBackIntoAFreshStore)
{
    MemoryRegistryStore store; // a fresh account: no Internet Settings key yet
    RegistryProxySource proxy(store);
    proxy.write(true, "proxy.lan", "3128");
    EXPECT_EQ(proxy.read(), (ProxyReading { true, "proxy.lan:3128" }));
    proxy.write(false, "10.0.0.1", "");
    EXPECT_EQ(proxy.read(), (ProxyReading { false, "10.0.0.1" }));
    TRegistry reg(store);
    reg.SetRootKey(RegRoot::CurrentUser);
    ASSERT_TRUE(reg.OpenKey(kInternetSettingsKey, false));
    EXPECT_EQ(reg.ReadInteger("ProxyEnable"), 0) << "a DWORD, as the status reads it";
}
