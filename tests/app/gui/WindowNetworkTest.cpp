// The main window's network test: its worker, indicators and probe.
#include "GuiHarness.h"

using namespace tarnwick;
using namespace tarnwick::gui;
using namespace tarnwick::test;

namespace
{

struct Indicator {
    QString text;
    QColor colour;
};

Indicator shown(Harness& h, const char* circle, const char* label)
{
    return { h.find<QLabel>(label)->text(), h.find<ProbeIndicator>(circle)->colour() };
}

} // namespace

TEST(NetworkTest, AdapterWithoutGatewayOrDnsShowsInvalidWithoutSending)
{
    Harness h;
    h.prepare();
    h.set(settings::kDefaultNetCard, "1"); // DHCP adapter with neither in force
    TFmain& w = h.start();
    h.click("cxBtest");
    QTRY_VERIFY(!w.probeRunning());
    for (const auto& [circle, label] :
        { std::pair { "SP_TestGate", "cxLTestGate" }, { "SP_TestDNS", "cxLTestDNS" } }) {
        const Indicator i = shown(h, circle, label);
        EXPECT_EQ(i.text, QStringLiteral("无效")) << label;
        EXPECT_EQ(i.colour, QColor(192, 192, 192)) << circle;
    }
    EXPECT_EQ(h.icmp.opened, 0);
    EXPECT_TRUE(h.icmp.sent.empty());
}

TEST(NetworkTest, GatewayAnswersAndDnsTimesOutAndASecondClickWhileRunningIsIgnored)
{
    Harness h;
    h.prepare();
    TFmain& w = h.start();
    h.icmp.script.push_back({ { 7, test::echoDatagram(kIcmpEchoReply, 3489) } }); // gateway, 7 ms
    h.icmp.script.push_back({}); // the DNS server says nothing
    // The worker's first hand-over waits for this thread, so it is still
    // running at the second click.
    QTest::mouseClick(h.find<QPushButton>("cxBtest"), Qt::LeftButton);
    QTest::mouseClick(h.find<QPushButton>("cxBtest"), Qt::LeftButton);
    EXPECT_TRUE(w.probeRunning());
    QTRY_VERIFY(!w.probeRunning());

    ASSERT_EQ(h.icmp.sent.size(), 2u); // one probe: gateway, then DNS
    EXPECT_EQ(h.icmp.sent[0].to, Ipv4::of(192, 0, 2, 1));
    EXPECT_EQ(h.icmp.sent[1].to, Ipv4::of(192, 0, 2, 53));
    const Indicator gate = shown(h, "SP_TestGate", "cxLTestGate");
    EXPECT_EQ(gate.text, QStringLiteral("7ms"));
    EXPECT_EQ(gate.colour, QColor(0, 255, 0));
    const Indicator dns = shown(h, "SP_TestDNS", "cxLTestDNS");
    EXPECT_EQ(dns.text, QStringLiteral("超时"));
    EXPECT_EQ(dns.colour, QColor(255, 0, 0));

    // The client keeps counting; showing the window again resets the display.
    h.click("cxBtest");
    QTRY_VERIFY(!w.probeRunning());
    EXPECT_EQ(w.probe().PingServer().sequenceNumber(), 3493);
    trayChoice(w, "N4"); // "隐藏窗体"
    trayChoice(w, "N3"); // "显示窗体"
    QCoreApplication::processEvents();
    EXPECT_EQ(shown(h, "SP_TestGate", "cxLTestGate").text, QStringLiteral("----"));
    EXPECT_EQ(shown(h, "SP_TestDNS", "cxLTestDNS").colour, QColor(Qt::white));
}

TEST(NetworkTest, FailedExchangeLeavesTheIndicatorTestingAndTheWorkerRestartable)
{
    Harness h;
    h.prepare();
    TFmain& w = h.start();
    h.icmp.failOpen = true; // no ICMP socket for this process
    h.click("cxBtest");
    QTRY_VERIFY(!w.probeRunning());
    EXPECT_EQ(shown(h, "SP_TestGate", "cxLTestGate").text, QStringLiteral("测试"));
    EXPECT_EQ(shown(h, "SP_TestGate", "cxLTestGate").colour, QColor(255, 255, 0));
    EXPECT_EQ(shown(h, "SP_TestDNS", "cxLTestDNS").text, QStringLiteral("----")); // not tested
    EXPECT_TRUE(h.prompts.messages.empty()); // ends quietly

    h.icmp.failOpen = false;
    h.click("cxBtest");
    QTRY_VERIFY(!w.probeRunning());
    EXPECT_EQ(shown(h, "SP_TestGate", "cxLTestGate").text, QStringLiteral("超时"));
    EXPECT_EQ(shown(h, "SP_TestDNS", "cxLTestDNS").text, QStringLiteral("超时"));
}

TEST(NetworkTest, ClosingDuringAProbeWaitsForItWithoutDeadlock)
{
    Harness h;
    h.prepare();
    TFmain& w = h.start();
    QTest::mouseClick(h.find<QPushButton>("cxBtest"), Qt::LeftButton);
    ASSERT_TRUE(w.probeRunning());
    // The worker is waiting for this thread to take its first hand-over.
    h.window.reset();
    EXPECT_EQ(h.icmp.sent.size(), 2u);
}
