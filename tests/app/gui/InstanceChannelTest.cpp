// The hand-over of a quick-switch file from a second start.
#include "GuiHarness.h"

using namespace tarnwick;
using namespace tarnwick::gui;
using namespace tarnwick::test;

TEST(InstanceChannel, RunningInstanceReceivesTheHandedOverPath)
{
    test::TempDir dir;
    const QString socket = QString::fromStdString((dir / "tarnwick.sock").string());
    InstanceChannel channel;
    ASSERT_TRUE(channel.listen(socket));
    QSignalSpy received(&channel, &InstanceChannel::quickSwitchReceived);
    bool accepted = false;
    std::thread second(
        [&] { accepted = InstanceChannel::handOver(socket, QStringLiteral("/桌面/家里.twk")); });
    QTRY_COMPARE(received.count(), 1);
    second.join();
    EXPECT_TRUE(accepted);
    EXPECT_EQ(received.front().front().toString(), QStringLiteral("/桌面/家里.twk"));

    // A line longer than any path is refused and reaches nobody.
    bool oversized = true;
    std::atomic<bool> finished = false;
    std::thread third([&] {
        oversized = InstanceChannel::handOver(socket, QString(70 * 1024, QLatin1Char('a')), 2000);
        finished = true;
    });
    QTRY_VERIFY(finished.load());
    third.join();
    EXPECT_FALSE(oversized);
    EXPECT_EQ(received.count(), 1);

    // Nobody listening: the hand-over reports failure instead of waiting forever.
    EXPECT_FALSE(InstanceChannel::handOver(socket + QStringLiteral(".none"), QStringLiteral("x.twk"), 300));
}

TEST(InstanceChannel, ASecondStartWithoutAFileAsksForTheWindow)
{
    test::TempDir dir;
    const QString socket = QString::fromStdString((dir / "tarnwick.sock").string());
    InstanceChannel channel;
    ASSERT_TRUE(channel.listen(socket));
    QSignalSpy raised(&channel, &InstanceChannel::raiseRequested);
    QSignalSpy received(&channel, &InstanceChannel::quickSwitchReceived);
    bool accepted = false;
    std::thread second([&] { accepted = InstanceChannel::requestRaise(socket); });
    QTRY_COMPARE(raised.count(), 1);
    second.join();
    EXPECT_TRUE(accepted);
    EXPECT_EQ(received.count(), 0);

    // A blank path is no file to hand over and never turns into a raise.
    EXPECT_FALSE(InstanceChannel::handOver(socket, QStringLiteral("  "), 300));
    QTest::qWait(50);
    EXPECT_EQ(raised.count(), 1);
    EXPECT_EQ(received.count(), 0);

    EXPECT_FALSE(InstanceChannel::requestRaise(socket + QStringLiteral(".none"), 300));
}
