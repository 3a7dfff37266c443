// The point a switch can come back to: the values in force as fields, the
// proxy only where the switch touches it, and metrics netsh can carry.
#include "apply/RestorePoint.h"

#include <gtest/gtest.h>

using namespace tarnwick;

TEST(RestorePoint, KeepsTheValuesInForceWithMetricsNetshCanCarry)
{
    LiveValues before;
    before.config.fixedIp = true;
    before.config.ip[0] = "192.0.2.23";
    before.config.proxyOn = true;
    before.config.proxyHost = "10.0.0.8";
    const struct {
        std::array<int, 2> kernel;
        std::array<int, 2> kept;
    } metrics[] = {
        { { 1, 2 }, { 1, 2 } },
        { { 0, 0 }, { 1, 1 } }, // routes added without a metric
        { { 50, 100000 }, { 50, 9999 } },
    };
    for (const auto& m : metrics) {
        before.gatewayMetric = m.kernel;
        TcpIpConfig target;
        target.proxyTakesPart = true;
        const RestorePoint p = restorePointOf("lan0", before, target);
        EXPECT_EQ(p.gatewayMetric, m.kept);
        EXPECT_EQ(p.connectionName, "lan0");
        EXPECT_EQ(p.settings.ip[0], "192.0.2.23");
        EXPECT_TRUE(p.settings.proxyTakesPart) << "the switch changes the proxy: it comes back too";
        target.proxyTakesPart = false;
        EXPECT_FALSE(restorePointOf("lan0", before, target).settings.proxyTakesPart);
    }
}

TEST(RestorePoint, DhcpIsRestoredOnlyWithALease)
{
    LiveValues before;
    before.config.ip[0] = "192.0.2.150";
    const RestorePoint p = restorePointOf("lan0", before, {});
    InterfaceReading now;
    now.dhcp = true;
    now.ip = { "192.0.2.40" }; // the switch's address, left while the client asks
    now.mask = { "255.255.255.0" };
    EXPECT_FALSE(isRestored(p, now));
    now.leased = true;
    now.ip = { "192.0.2.151" };
    EXPECT_TRUE(isRestored(p, now)) << "any lease: the server chooses the address";
}
