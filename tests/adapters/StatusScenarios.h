#pragma once

// The status scenarios as a typed test suite: each test program instantiates
// it with its network (fixture or lab). Include once per program.

#include "ScenarioNetwork.h"

#include "adapters/LiveSnapshot.h"
#include "adapters/StatusUpdater.h"

#include <gtest/gtest.h>

#include <memory>

namespace tarnwick::test
{

template <typename Network> class StatusScenario : public ::testing::Test
{
protected:
    StatusScenario()
        : m_net(std::make_unique<Network>())
    {
    }

    int indexOf(const std::string& ifname)
    {
        for (int i = 0; i < table.count(); ++i) {
            if (table.at(i).connectionName == ifname)
                return i;
        }
        ADD_FAILURE() << ifname << " not discovered";
        return -1;
    }

    void discover() { table = makeAdapterTable(m_net->adapters().discover()); }

    std::unique_ptr<ScenarioNetwork> m_net;
    AdapterTable table;
    LiveSnapshot snapshot;
    LocalClock clock = [] { return LocalDateTime { 2012, 5, 8, 9, 5, 3 }; };
};

TYPED_TEST_SUITE_P(StatusScenario);

TYPED_TEST_P(StatusScenario, StaticAddressesAndGatewaysReadBackExactly)
{
    auto& net = *this->m_net;
    net.setStatic(
        net.first(), { "192.0.2.10/25", "192.0.2.11/25", "192.0.2.12/25" }, { "192.0.2.1", "192.0.2.2" });
    net.setDns({ "192.0.2.53", "192.0.2.54" });
    this->discover();
    const int idx = this->indexOf(net.first());
    StatusUpdater updater(this->table, net.values(), this->snapshot, this->clock);
    const StatusView view = updater.updateStatusBar(idx, true);

    ASSERT_TRUE(view.fields);
    EXPECT_EQ(view.fields->ip, (std::array<std::string, 3> { "192.0.2.10", "192.0.2.11", "192.0.2.12" }));
    EXPECT_EQ(view.fields->mask,
        (std::array<std::string, 3> { "255.255.255.128", "255.255.255.128", "255.255.255.128" }));
    EXPECT_EQ(view.fields->gateway, (std::array<std::string, 2> { "192.0.2.1", "192.0.2.2" }));
    EXPECT_EQ(view.fields->dns, (std::array<std::string, 4> { "192.0.2.53", "192.0.2.54", "", "" }));
    EXPECT_TRUE(view.fields->fixedIp) << "static";
    EXPECT_TRUE(view.fields->fixedDns);
    EXPECT_EQ(view.panels,
        (std::array<std::string, 5> { "IP: 192.0.2.10", "Mask: 255.255.255.128", "Gate: 192.0.2.1",
            "DNS: 192.0.2.53,192.0.2.54", " 2012-5-8 9:05:03" }));
    const LiveValues v = this->snapshot.get();
    EXPECT_EQ(v.mode, "192.0.2.10");
    EXPECT_EQ(v.gatewayInForce, "192.0.2.1");
    EXPECT_EQ(v.dnsInForce, "192.0.2.53");
    ASSERT_TRUE(view.hint);
    EXPECT_NE(view.hint->find("连接名称:  " + net.first() + "\r"), std::string::npos);
}

TYPED_TEST_P(StatusScenario, OutsideChangeShowsUpdatingForOneTickAndKeepsTheFields)
{
    auto& net = *this->m_net;
    net.setStatic(net.first(), { "192.0.2.10/24" }, { "192.0.2.1" });
    this->discover();
    const int idx = this->indexOf(net.first());
    StatusUpdater updater(this->table, net.values(), this->snapshot, this->clock);
    ASSERT_EQ(updater.updateStatusBar(idx, true).panels[0], "IP: 192.0.2.10");
    EXPECT_EQ(updater.updateStatusBar(idx, false).panels[0], "IP: 192.0.2.10");

    net.setStatic(net.first(), { "192.0.2.20/24" }, { "192.0.2.1" });
    const StatusView changed = updater.updateStatusBar(idx, false);
    EXPECT_EQ(changed.panels[0], "Updating... ");
    EXPECT_EQ(changed.panels[1], "Mask: 255.255.255.0");
    EXPECT_EQ(changed.panels[2], "Gate: 192.0.2.1");
    EXPECT_FALSE(changed.fields) << "the fields keep what the user sees";
    EXPECT_FALSE(changed.hint);
    EXPECT_EQ(this->snapshot.get().config.ip[0], "192.0.2.20") << "the snapshot follows at once";

    const StatusView next = updater.updateStatusBar(idx, false);
    EXPECT_EQ(next.panels[0], "IP: 192.0.2.20");
    EXPECT_FALSE(next.fields);
}

TYPED_TEST_P(StatusScenario, SwitchingAdapterReloadsEverything)
{
    auto& net = *this->m_net;
    net.setStatic(net.first(), { "192.0.2.10/24" }, { "192.0.2.1" });
    net.setStatic(net.second(), { "198.51.100.10/24", "198.51.100.11/24" }, { "198.51.100.1" });
    this->discover();
    const int first = this->indexOf(net.first());
    const int second = this->indexOf(net.second());
    StatusUpdater updater(this->table, net.values(), this->snapshot, this->clock);
    updater.updateStatusBar(first, true);
    updater.updateStatusBar(first, false);

    const StatusView view = updater.updateStatusBar(second, false);
    ASSERT_TRUE(view.fields);
    EXPECT_EQ(view.fields->ip, (std::array<std::string, 3> { "198.51.100.10", "198.51.100.11", "" }));
    EXPECT_EQ(view.fields->gateway, (std::array<std::string, 2> { "198.51.100.1", "" }));
    EXPECT_EQ(view.panels[0], "IP: 198.51.100.10") << "a switch is no change: no Updating";
    EXPECT_EQ(view.panels[2], "Gate: 198.51.100.1");
    ASSERT_TRUE(view.hint);
    EXPECT_NE(view.hint->find("连接名称:  " + net.second()), std::string::npos);
    EXPECT_EQ(updater.shown().adapterIndex, second);
    EXPECT_EQ(this->snapshot.get().mode, "198.51.100.10");

    EXPECT_FALSE(updater.updateStatusBar(second, false).fields) << "the next tick is an ordinary one";
}

REGISTER_TYPED_TEST_SUITE_P(StatusScenario, StaticAddressesAndGatewaysReadBackExactly,
    OutsideChangeShowsUpdatingForOneTickAndKeepsTheFields, SwitchingAdapterReloadsEverything);

} // namespace tarnwick::test
