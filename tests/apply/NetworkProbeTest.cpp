#include "FakeIcmp.h"

#include "apply/NetworkProbe.h"
#include "apply/PlainDispatcher.h"
#include "apply/TBMDThread.h"

#include <gtest/gtest.h>
#include <thread>

using namespace tarnwick;
using namespace tarnwick::test;

namespace
{

struct Shown {
    ProbeTarget target;
    IndicatorState state;
    bool onGui;
    bool operator==(const Shown&) const = default;
};

class RecordingView : public ProbeView
{
public:
    void showIndicator(ProbeTarget target, const IndicatorState& state) override
    {
        shown.push_back({ target, state, std::this_thread::get_id() == m_gui });
    }
    std::vector<Shown> shown;

private:
    std::thread::id m_gui = std::this_thread::get_id();
};

// Runs the probe the way the main window does: on its worker, with the test's
// thread serving the hand-overs.
class Probe : public ::testing::Test
{
protected:
    void run()
    {
        TBMDThread worker(gui);
        worker.SetOnExecute([&](TBMDThread&) { probe.TestNetStatus(); });
        worker.Start();
        gui.serveUntil([&] { return !worker.IsRunning(); });
    }
    void setTargets(const std::string& gateway, const std::string& dns)
    {
        LiveValues v;
        v.gatewayInForce = gateway;
        v.dnsInForce = dns;
        snapshot.set(v);
    }

    FakeClock clock;
    FakeIcmpNetwork net { clock };
    LiveSnapshot snapshot;
    PlainDispatcher gui;
    RecordingView view;
    NetworkProbe probe { net, clock, snapshot, gui, view };
};

const auto G = ProbeTarget::Gateway;
const auto D = ProbeTarget::Dns;

} // namespace

TEST_F(Probe, EmptyGatewayIsInvalidWithoutSendingAndDnsShowsItsTime)
{
    setTargets("", "192.0.2.53");
    net.script = { { { 3, echoDatagram(0, 3489, Ipv4::of(192, 0, 2, 53)) } } };
    run();
    EXPECT_EQ(view.shown,
        (std::vector<Shown> { { G, indicator::testing(), true }, { G, { "无效", { 192, 192, 192 } }, true },
            { D, indicator::testing(), true }, { D, { "3ms", { 0, 255, 0 } }, true } }));
    EXPECT_EQ(net.sent.size(), 1u);
    EXPECT_EQ(net.sent[0].to, Ipv4::of(192, 0, 2, 53));
}

TEST_F(Probe, NoAnswerAndErrorAnswersShowTimedOutOnRed)
{
    setTargets("192.0.2.1", "192.0.2.53");
    net.script = { { { 40, errorDatagram(3, 3489) } }, {} };
    run();
    ASSERT_EQ(view.shown.size(), 4u);
    EXPECT_EQ(view.shown[1].state, (IndicatorState { "超时", { 255, 0, 0 } }));
    EXPECT_EQ(view.shown[3].state, indicator::noAnswer());
    EXPECT_EQ(probe.PingServer().ReceiveTimeout, 2000);
    EXPECT_EQ(clock.now(), 1000u + 40 + 2000); // the DNS wait lasted the full 2000 ms
    EXPECT_EQ(probe.PingServer().sequenceNumber(), 3491);
}

TEST_F(Probe, BlankValuesSendNothingAndListsGiveTheirFirstAddress)
{
    setTargets("  ", "");
    run();
    EXPECT_EQ(net.opened, 0);
    EXPECT_EQ(view.shown.back().state, indicator::noAddress());

    view.shown.clear();
    setTargets(" 192.0.2.1 ", "192.0.2.53,192.0.2.54");
    net.script = { { { 1, echoDatagram(0, 3489) } }, { { 2, echoDatagram(0, 3490) } } };
    run();
    ASSERT_EQ(net.sent.size(), 2u);
    EXPECT_EQ(net.sent[0].to, Ipv4::of(192, 0, 2, 1));
    EXPECT_EQ(net.sent[1].to, Ipv4::of(192, 0, 2, 53));
}

TEST_F(Probe, AFailedExchangeLeavesTheIndicatorTestingAndSkipsDns)
{
    setTargets("192.0.2.1", "192.0.2.53");
    net.failOpen = true;
    EXPECT_THROW(probe.TestNetStatus(), std::system_error); // on the GUI thread: hand-overs run directly
    EXPECT_EQ(view.shown, (std::vector<Shown> { { G, indicator::testing(), true } }));

    // On the worker the error ends the run quietly.
    view.shown.clear();
    run();
    EXPECT_EQ(view.shown.size(), 1u);
}

TEST_F(Probe, TwoProbesCountTheirOwnSequenceNumbers)
{
    setTargets("192.0.2.1", "");
    NetworkProbe other { net, clock, snapshot, gui, view };
    net.script = { { { 1, echoDatagram(0, 3489) } }, { { 1, echoDatagram(0, 3489) } } };
    probe.TestNetStatus();
    other.TestNetStatus();
    EXPECT_EQ(probe.PingServer().sequenceNumber(), 3490);
    EXPECT_EQ(other.PingServer().sequenceNumber(), 3490);
}

TEST(IndicatorState, HexColours)
{
    EXPECT_EQ(hexColour(indicator::answered(1).colour), "#00ff00");
    EXPECT_EQ(hexColour(indicator::noAddress().colour), "#c0c0c0");
    EXPECT_EQ(hexColour(indicator::testing().colour), "#ffff00");
    EXPECT_EQ(hexColour(indicator::reset().colour), "#ffffff");
    EXPECT_EQ(hexColour(indicator::noAnswer().colour), "#ff0000");
}
