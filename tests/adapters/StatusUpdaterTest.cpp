#include "FixtureNetwork.h"
#include "StatusScenarios.h"

#include "adapters/StatusReadout.h"

#include <gtest/gtest.h>

using namespace tarnwick;
using namespace tarnwick::test;

INSTANTIATE_TYPED_TEST_SUITE_P(Fixture, StatusScenario, FixtureNetwork);

namespace
{

struct Rig {
    FixtureAdapterSource adapters;
    FixtureValuesSource values;
    AdapterTable table;
    LiveSnapshot snapshot;
    LocalDateTime now { 2012, 5, 8, 9, 5, 3 };
    std::unique_ptr<StatusUpdater> updater;

    explicit Rig(int count = 2)
    {
        for (int i = 0; i < count; ++i)
            adapters.found.push_back(
                { "{GUID-" + std::to_string(i) + "}", "conn" + std::to_string(i), "NIC" });
        table = makeAdapterTable(adapters.discover());
        updater = std::make_unique<StatusUpdater>(table, values, snapshot, [this] { return now; });
    }
    InterfaceReading& reading(int i) { return values.readings["conn" + std::to_string(i)]; }
};

} // namespace

TEST(StatusUpdater, DhcpAdapterShowsTheLeaseAndTheGatewayAndServersInForce)
{
    Rig rig;
    rig.reading(0) = { true, { "192.0.2.100", "10.9.9.9" }, { "255.255.255.0", "255.0.0.0" }, { "192.0.2.1" },
        "192.0.2.53,192.0.2.54", "192.0.2.1", "192.0.2.53", true };
    const StatusView view = rig.updater->updateStatusBar(0, true);
    ASSERT_TRUE(view.fields);
    EXPECT_FALSE(view.fields->fixedIp) << "DHCP";
    EXPECT_FALSE(view.fields->fixedDns) << "the lease's servers";
    EXPECT_EQ(view.fields->ip, (std::array<std::string, 3> { "192.0.2.100", "", "" }));
    EXPECT_EQ(view.fields->mask, (std::array<std::string, 3> { "255.255.255.0", "", "" }));
    EXPECT_EQ(view.fields->gateway, (std::array<std::string, 2> { "192.0.2.1", "" }));
    EXPECT_EQ(view.fields->dns, (std::array<std::string, 4> { "192.0.2.53", "192.0.2.54", "", "" }));
    EXPECT_EQ(view.panels[2], "Gate: 192.0.2.1");
    EXPECT_EQ(view.panels[3], "DNS: 192.0.2.53,192.0.2.54");
    const LiveValues v = rig.snapshot.get();
    EXPECT_EQ(v.mode, "DHCP");
    EXPECT_EQ(v.config.gateway[0], "192.0.2.1");
    EXPECT_EQ(v.config.dns[1], "192.0.2.54");
    EXPECT_FALSE(v.config.fixedDns);
    EXPECT_EQ(v.gatewayInForce, "192.0.2.1");
    EXPECT_EQ(v.dnsInForce, "192.0.2.53");
}

TEST(StatusUpdater, DhcpWithoutALeaseShowsEmptyAddress)
{
    Rig rig;
    rig.reading(0).dhcp = true;
    const StatusView view = rig.updater->updateStatusBar(0, true);
    EXPECT_EQ(view.fields->ip[0], "");
    EXPECT_EQ(rig.snapshot.get().mode, "DHCP");
}

TEST(StatusUpdater, StaticKeepsThreeAddressesAndTwoGateways)
{
    Rig rig;
    rig.reading(0) = { false, { "1.0.0.1", "1.0.0.2", "1.0.0.3", "1.0.0.4" }, { "m1", "m2", "m3", "m4" },
        { "g1", "g2", "g3" }, "d1,d2,d3,d4,d5", "g1", "d1" };
    const StatusView view = rig.updater->updateStatusBar(0, true);
    EXPECT_EQ(view.fields->ip, (std::array<std::string, 3> { "1.0.0.1", "1.0.0.2", "1.0.0.3" }));
    EXPECT_EQ(view.fields->mask, (std::array<std::string, 3> { "m1", "m2", "m3" }));
    EXPECT_EQ(view.fields->gateway, (std::array<std::string, 2> { "g1", "g2" }));
    EXPECT_EQ(view.fields->dns, (std::array<std::string, 4> { "d1", "d2", "d3", "d4,d5" }));
    EXPECT_EQ(view.panels[3], "DNS: d1,d2,d3,d4,d5");
    EXPECT_EQ(rig.snapshot.get().mode, "1.0.0.1");
}

TEST(StatusUpdater, DnsChoiceFollowsNameServerAndStaticAlwaysUsesFixedServers)
{
    struct Case {
        bool dhcp;
        const char* nameServer;
        bool fromLease;
        bool useDns;
    };
    const Case cases[] = { { true, "", false, false }, { true, "   ", false, false },
        { true, "\t", false, true }, { true, "1.1.1.1", false, true }, { true, "1.1.1.1", true, false },
        { false, "", false, true }, { false, "1.1.1.1", false, true } };
    for (const Case& c : cases) {
        Rig rig;
        rig.reading(0).dhcp = c.dhcp;
        rig.reading(0).nameServer = c.nameServer;
        rig.reading(0).dnsFromLease = c.fromLease;
        EXPECT_EQ(rig.updater->updateStatusBar(0, true).fields->fixedDns, c.useDns)
            << c.dhcp << " '" << c.nameServer << "' " << c.fromLease;
        EXPECT_EQ(rig.snapshot.get().config.fixedDns, c.useDns) << "the snapshot agrees";
    }
}

TEST(StatusUpdater, ProxyIsReadOnReloadsOnlyAndSplitAtTheFirstColon)
{
    Rig rig;
    rig.values.proxy = { true, "proxy.corp:8080" };
    StatusView view = rig.updater->updateStatusBar(0, true);
    EXPECT_TRUE(view.fields->proxyOn);
    EXPECT_EQ(view.fields->proxyHost, "proxy.corp");
    EXPECT_EQ(view.fields->proxyPort, "8080");
    LiveValues v = rig.snapshot.get();
    EXPECT_TRUE(v.config.proxyOn);
    EXPECT_EQ(v.config.proxyHost, "proxy.corp");
    EXPECT_EQ(v.config.proxyPort, "8080");

    rig.values.proxy = { false, "other" };
    rig.updater->updateStatusBar(0, false);
    EXPECT_EQ(rig.values.proxyReads, 1);
    EXPECT_TRUE(rig.snapshot.get().config.proxyOn) << "ticks leave the proxy values alone";

    view = rig.updater->updateStatusBar(1, false); // another adapter: reload
    EXPECT_EQ(rig.values.proxyReads, 2);
    EXPECT_FALSE(view.fields->proxyOn);
    EXPECT_EQ(view.fields->proxyHost, "other");
    EXPECT_EQ(view.fields->proxyPort, "");
}

TEST(StatusUpdater, EachPanelShowsUpdatingOnceWithItsOwnSpacing)
{
    Rig rig;
    rig.reading(0) = { false, { "a" }, { "m" }, { "g" }, "d1,d2", "", "" };
    rig.updater->updateStatusBar(0, true);
    rig.reading(0) = { false, { "a2" }, { "m2" }, { "g2" }, "d3", "", "" };
    EXPECT_EQ(rig.updater->updateStatusBar(0, false).panels,
        (std::array<std::string, 5> {
            "Updating... ", "Updating... ", "Updating...", "Updating...", " 2012-5-8 9:05:03" }));
    EXPECT_EQ(rig.updater->updateStatusBar(0, false).panels,
        (std::array<std::string, 5> { "IP: a2", "Mask: m2", "Gate: g2", "DNS: d3", " 2012-5-8 9:05:03" }));

    // Only the first DNS server counts as a change; the panel still shows the whole list.
    rig.reading(0).nameServer = "d3,d9";
    EXPECT_EQ(rig.updater->updateStatusBar(0, false).panels[3], "DNS: d3,d9");
}

TEST(StatusUpdater, AChangeTheKernelReportedShowsAtOnce)
{
    Rig rig;
    rig.reading(0) = { false, { "a" }, { "m" }, { "g" }, "d1", "", "" };
    rig.updater->updateStatusBar(0, true);
    rig.reading(0) = { false, { "a2" }, { "m2" }, { "g2" }, "d3", "", "" };
    const std::array<std::string, 5> now { "IP: a2", "Mask: m2", "Gate: g2", "DNS: d3", " 2012-5-8 9:05:03" };
    EXPECT_EQ(rig.updater->updateStatusBar(0, false, true).panels, now);
    EXPECT_EQ(rig.updater->updateStatusBar(0, false).panels, now) << "the next tick has nothing new";
}

TEST(StatusUpdater, FullRefreshReloadsEvenOnTheSameAdapter)
{
    Rig rig;
    rig.reading(0).ip = { "a" };
    rig.updater->updateStatusBar(0, true);
    rig.reading(0).ip = { "b" };
    const StatusView view = rig.updater->updateStatusBar(0, true);
    ASSERT_TRUE(view.fields);
    EXPECT_EQ(view.fields->ip[0], "b");
    EXPECT_EQ(view.panels[0], "IP: b");
}

TEST(StatusUpdater, FirstTickWithoutShowTreatsIndexZeroAsShown)
{
    // ShownValues start on adapter 0 with empty texts: a tick on 0 compares.
    Rig rig;
    rig.reading(0).ip = { "a" };
    const StatusView view = rig.updater->updateStatusBar(0, false);
    EXPECT_FALSE(view.fields);
    EXPECT_EQ(view.panels[0], "Updating... ");
    EXPECT_TRUE(rig.updater->updateStatusBar(1, false).fields);
}

TEST(StatusUpdater, NoAdapterPathShowsPlaceholdersAndLeavesTheSnapshot)
{
    struct Case {
        int count;
        int selected;
        const char* hint;
    };
    const Case cases[] = { { 0, -1, "兄弟，你的网卡呢？" }, { 0, 0, "兄弟，你的网卡呢？" },
        { 2, 2, "没有这块网卡" }, { 2, -1, "没有这块网卡" } };
    for (const Case& c : cases) {
        Rig rig(c.count);
        if (c.count > 0) {
            rig.reading(0).ip = { "a" };
            rig.updater->updateStatusBar(0, true);
        }
        const LiveValues before = rig.snapshot.get();
        const ShownValues shownBefore = rig.updater->shown();
        const StatusView view = rig.updater->updateStatusBar(c.selected, true);
        EXPECT_EQ(view.panels,
            (std::array<std::string, 5> { "IP: ", "Mask: ", "Gate: ", "DNS: ", " 2012-5-8 9:05:03" }));
        EXPECT_EQ(view.hint, std::optional<std::string>(c.hint));
        EXPECT_EQ(view.placeholders,
            (std::optional<std::array<std::string, 3>>(
                std::array<std::string, 3> { "暂时保密", "无可奉告", "打一枪换个地方" })));
        EXPECT_FALSE(view.fields);
        EXPECT_EQ(rig.snapshot.get(), before);
        EXPECT_EQ(rig.updater->shown(), shownBefore);
    }
}

TEST(StatusUpdater, PanelFourFollowsTheClock)
{
    Rig rig;
    rig.now = { 2026, 12, 10, 14, 7, 9 };
    EXPECT_EQ(rig.updater->updateStatusBar(0, false).panels[4], " 2026-12-10 14:07:09");
    EXPECT_EQ(rig.updater->updateStatusBar(7, false).panels[4], " 2026-12-10 14:07:09");
}

TEST(StatusService, OneFullReadUsesTheSelectionRuleOrTheGivenIndex)
{
    FixtureAdapterSource adapters;
    adapters.found = { { "{A}", "eth0", "one" }, { "{B}", "eth1", "two" } };
    FixtureValuesSource values;
    values.readings["eth1"].ip = { "198.51.100.7" };
    values.readings["eth1"].mask = { "255.255.255.0" };
    values.proxy = { true, "p:1" };

    StatusReadout r = readStatusOnce(adapters, values, "1", std::nullopt);
    EXPECT_EQ(r.selected, 1);
    EXPECT_EQ(r.values.mode, "198.51.100.7");
    EXPECT_TRUE(r.values.config.proxyOn);
    ASSERT_TRUE(r.view.fields);

    r = readStatusOnce(adapters, values, "1", 0);
    EXPECT_EQ(r.selected, 0);
    EXPECT_EQ(r.values.mode, "");

    r = readStatusOnce(adapters, values, "7", std::nullopt);
    EXPECT_EQ(r.selected, 0);

    r = readStatusOnce(adapters, values, "", 5);
    EXPECT_EQ(r.view.hint, std::optional<std::string>("没有这块网卡"));
}
