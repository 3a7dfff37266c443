// The apply window over scripted netsh answers: shown in place of the main
// window, its log, progress bar, buttons and indicators over a run, back,
// retry, the title bar's close, and exit during a run.
#include "GuiHarness.h"

#include <QPlainTextEdit>
#include <QProgressBar>

using namespace tarnwick;
using namespace tarnwick::gui;
using namespace tarnwick::test;

namespace
{

QStringList logLines(TFApply& a)
{
    return a.findChild<QPlainTextEdit*>(QStringLiteral("cxMinfo"))->toPlainText().split(QLatin1Char('\n'));
}

QWidget* part(TFApply& a, const char* name)
{
    QWidget* w = a.findChild<QWidget*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

} // namespace

TEST(ApplyWindow, ARunReplacesTheMainWindowAndEndsWithTheProbeShown)
{
    Harness h;
    h.prepare();
    TFmain& w = h.start();
    h.edit("cxTEIP")->setText(QStringLiteral("192.0.2.77"));
    h.icmp.script.push_back({ { 3, echoDatagram(kIcmpEchoReply, 3489) } });
    h.icmp.script.push_back({ { 4, echoDatagram(kIcmpEchoReply, 3490) } });
    h.click("cxBApply");
    TFApply* a = w.applyWindow();
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(a->isVisible());
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(a->windowTitle(), QStringLiteral("更换IP进行中..."));
    QTRY_VERIFY(!a->running());

    EXPECT_EQ(h.runner.ran,
        std::vector<std::string> {
            R"(netsh interface ip set address name="eth0" source="static" addr="192.0.2.77" mask="255.255.255.0" gateway="192.0.2.1" gwmetric=1)" });
    const QStringList log = logLines(*a);
    EXPECT_EQ(log.front(), QStringLiteral("连接名称: eth0"));
    EXPECT_EQ(log.back(), QStringLiteral("设置完毕！"));
    EXPECT_TRUE(part(*a, "cxBretry")->isEnabled());
    EXPECT_FALSE(part(*a, "cxProgressBar1")->isVisible());
    for (const char* shown :
        { "cxLabel7", "cxLabel9", "cxLB_TestGate", "cxLB_TestDNS", "SP_TestGate", "SP_TestDNS" })
        EXPECT_TRUE(part(*a, shown)->isVisible()) << shown;
    EXPECT_FALSE(part(*a, "cxLabel1")->isVisible());
    EXPECT_EQ(a->findChild<QLabel*>(QStringLiteral("cxLB_TestGate"))->text(), QStringLiteral("3ms"));
    EXPECT_EQ(a->findChild<QLabel*>(QStringLiteral("cxLB_TestDNS"))->text(), QStringLiteral("4ms"));

    // Back: the main window returns, the log is empty, the bar reset.
    QTest::mouseClick(part(*a, "cxBback"), Qt::LeftButton);
    EXPECT_FALSE(a->isVisible());
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(a->findChild<QPlainTextEdit*>(QStringLiteral("cxMinfo"))->toPlainText().isEmpty());
    EXPECT_EQ(a->findChild<QProgressBar*>(QStringLiteral("cxProgressBar1"))->value(), 0);

    // The window is made once; its probe's sequence numbers go on.
    h.icmp.script.push_back({ { 3, echoDatagram(kIcmpEchoReply, 3491) } });
    h.icmp.script.push_back({ { 3, echoDatagram(kIcmpEchoReply, 3492) } });
    h.click("cxBApply");
    EXPECT_EQ(w.applyWindow(), a);
    QTRY_VERIFY(!a->running());
    EXPECT_EQ(a->findChild<QLabel*>(QStringLiteral("cxLB_TestGate"))->text(), QStringLiteral("3ms"));
}

TEST(ApplyWindow, ApplyingAgainDuringARunStartsNothingNewAndBackLetsItFinish)
{
    Harness h;
    h.prepare();
    TFmain& w = h.start();
    h.edit("cxTEIP")->setText(QStringLiteral("192.0.2.78"));
    h.runner.hold();
    h.click("cxBApply");
    TFApply* a = w.applyWindow();
    QTRY_COMPARE(h.runner.count(), 1u);
    EXPECT_FALSE(part(*a, "cxBretry")->isEnabled()) << "disabled while a run goes on";

    // Back during the run, then apply again: the same run goes on.
    QTest::mouseClick(part(*a, "cxBback"), Qt::LeftButton);
    EXPECT_TRUE(w.isVisible());
    h.click("cxBApply");
    QTest::mouseClick(part(*a, "cxBretry"), Qt::LeftButton); // disabled: nothing
    h.runner.release();
    QTRY_VERIFY(!a->running());
    EXPECT_EQ(h.runner.count(), 1u);
    EXPECT_EQ(logLines(*a).back(), QStringLiteral("设置完毕！"));

    // The title bar's close hides it as back does.
    a->close();
    EXPECT_FALSE(a->isVisible());
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(a->findChild<QPlainTextEdit*>(QStringLiteral("cxMinfo"))->toPlainText().isEmpty());
}

TEST(ApplyWindow, ExitDuringARunEndsTheProgramOnlyAfterTheRun)
{
    Harness h;
    h.prepare();
    TFmain& w = h.start();
    h.edit("cxTEIP")->setText(QStringLiteral("192.0.2.79"));
    h.runner.hold();
    h.click("cxBApply");
    TFApply* a = w.applyWindow();
    QTRY_COMPARE(h.runner.count(), 1u);
    QTest::mouseClick(part(*a, "cxBclose"), Qt::LeftButton);
    EXPECT_FALSE(w.isVisible()) << "the main window closed";
    EXPECT_TRUE(a->running()) << "the switch goes on";
    std::thread later([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        h.runner.release();
    });
    h.window.reset(); // waits for the run, serving its hand-overs
    later.join();
    EXPECT_EQ(h.runner.count(), 1u);
}

// A value no command could carry: the window says which, nothing runs, and
// the run counts as not applied.
TEST(ApplyWindow, ABadValueIsRefusedBeforeAnyCommand)
{
    Harness h;
    h.prepare();
    TFmain& w = h.start();
    h.edit("cxTEIP")->setText(QStringLiteral("999.1.1.9"));
    h.edit("cxTEDNSServer")->setText(QStringLiteral("192.0.2.99"));
    h.click("cxBApply");
    TFApply* a = w.applyWindow();
    ASSERT_NE(a, nullptr);
    QTRY_VERIFY(!a->running());
    EXPECT_TRUE(h.runner.ran.empty());
    EXPECT_EQ(logLines(*a).back(),
        QStringLiteral("IP地址“999.1.1.9”不是有效的 IPv4 地址：应为四段 0 到 255 的十进制数，如 "
                       "192.168.0.1。未作任何更改。"));
    EXPECT_EQ(a->lastOutcome(), ApplySequence::Outcome::Refused);
    EXPECT_TRUE(part(*a, "cxBretry")->isEnabled());
    EXPECT_FALSE(part(*a, "cxProgressBar1")->isVisible());
    EXPECT_FALSE(part(*a, "SP_TestGate")->isVisible());
    EXPECT_FALSE(part(*a, "cxBrestore")->isVisible()) << "nothing ran: nothing to put back";
}
