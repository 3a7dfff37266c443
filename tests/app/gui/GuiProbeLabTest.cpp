// The main window's network test in the lab: the real adapter back ends read
// lan0, and a click sends real echoes to the lab's gateway and DNS server.
#include "adapters/PlatformSources.h"
#include "app/ConfigFileSearch.h"
#include "app/gui/InstanceChannel.h"
#include "app/gui/TDM.h"
#include "app/gui/TFmain.h"
#include "apply/CommandRunner.h"
#include "apply/IcmpNetwork.h"
#include "apply/TickClock.h"
#include "apply/gui/ProbeIndicator.h"
#include "apply/gui/TFApply.h"
#include "base/AtomicFile.h"
#include "base/MemoryRegistryStore.h"
#include "base/Settings.h"
#include "dialup/linux/PppdBackend.h"
#include "shortcuts/QuickSwitchFile.h"
#include "store/ConfigFile.h"

#include "LabState.h"
#include "Process.h"
#include "TempDir.h"
#include "TempHome.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <thread>
#include <tuple>

using namespace tarnwick;
using namespace tarnwick::gui;
using tarnwick::test::runProcess;
namespace lab = tarnwick::test::lab;

namespace
{

std::string env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

class SilentPrompts : public UserPrompts
{
public:
    std::vector<std::string> messages;
    void show(Kind, const std::string& text, const std::string& = {}) override { messages.push_back(text); }
    std::string askSaveFileName() override { return {}; }
    bool confirm(const std::string&, Answers, const std::string&) override { return false; }
};

// The main window over the real adapter back ends of the lab's namespace,
// on an empty configuration file, shown.
struct LabWindow {
    test::TempDir dir;
    test::TempHome home { dir.path() };
    MemoryRegistryStore registry;
    SilentPrompts prompts;
    std::unique_ptr<AdapterSource> adapters = makeAdapterSource(registry);
    std::unique_ptr<LiveValuesSource> live = makeLiveValuesSource(registry, LiveReads::Refresh);
    LiveSnapshot snapshot;
    // The real back ends, as the entry point builds them.
    std::unique_ptr<IcmpNetwork> icmp = makeSystemIcmpNetwork();
    SteadyTickClock ticks;
    ProcessCommandRunner runner;
    std::unique_ptr<ProxySource> proxy = makeProxySource(registry);
    TDM dm { std::make_unique<PppdBackend>() };
    std::unique_ptr<TFmain> window;

    // `configBytes`: the configuration file; `beforeCreate` runs on the new
    // window before its creation handler.
    explicit LabWindow(const std::string& configBytes = emptyConfigFileBytes(),
        const std::function<void(TFmain&)>& beforeCreate = {})
    {
        const std::string config = (dir / "config.xml").string();
        std::ofstream(config, std::ios::binary) << configBytes;
        settings::writeConfigFile(registry, config);
        settings::writeSkin(dir / "config.ini", "Standard");
        MainWindowContext ctx { prompts, registry, dir / "config.ini", *adapters, *live, snapshot,
            [this](const std::string& p) { return checkConfigFile(p, prompts); }, *icmp, ticks, runner,
            *proxy, [](const std::vector<std::string>&) {}, dir.path() };
        window = std::make_unique<TFmain>(dm, ctx);
        if (beforeCreate)
            beforeCreate(*window);
        window->FormCreate();
        window->show();
        QCoreApplication::processEvents();
    }
};

void must(const std::vector<std::string>& argv)
{
    const auto r = runProcess(argv);
    ASSERT_EQ(r.exitCode, 0) << argv[0] << ": " << r.err;
}

} // namespace

TEST(MainWindowLab, TestButtonShowsTheRoundTripsOfTheLabsGatewayAndDnsServer)
{
    if (env("TARNWICK_LAB").empty())
        GTEST_SKIP() << "runs inside the lab (scripts/lab run)";
    const std::string lan = env("TARNWICK_LAB_IF");
    must({ "ip", "addr", "add", "192.0.2.23/24", "dev", lan });
    must({ "ip", "route", "add", "default", "via", env("TARNWICK_LAB_GATEWAY") });
    std::ofstream("/etc/netns/" + env("TARNWICK_LAB_LAPTOP_NS") + "/resolv.conf")
        << "nameserver " << env("TARNWICK_LAB_DNS1") << "\n";

    LabWindow lab;
    TFmain& w = *lab.window;
    LiveSnapshot& snapshot = lab.snapshot;
    SilentPrompts& prompts = lab.prompts;
    ASSERT_EQ(snapshot.get().gatewayInForce, env("TARNWICK_LAB_GATEWAY"));

    QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("cxBtest")), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!w.probeRunning(), 10000);
    const QRegularExpression roundTrip(QStringLiteral("^[0-9]+ms$"));
    for (const char* label : { "cxLTestGate", "cxLTestDNS" })
        EXPECT_TRUE(roundTrip.match(w.findChild<QLabel*>(QString::fromLatin1(label))->text()).hasMatch())
            << label << ": " << w.findChild<QLabel*>(QString::fromLatin1(label))->text().toStdString();
    for (const char* circle : { "SP_TestGate", "SP_TestDNS" })
        EXPECT_EQ(w.findChild<ProbeIndicator*>(QString::fromLatin1(circle))->colour(), QColor(0, 255, 0))
            << circle;
    EXPECT_TRUE(prompts.messages.empty());
}

// The whole switch from the window with the real netsh: fields typed, "应 用"
// pressed, the kernel and the resolver file changed, the log and indicators
// shown; retry runs again and skips what is in force.
TEST(MainWindowLab, ApplyChangesTheLabAdapterAndShowsTheRun)
{
    if (env("TARNWICK_LAB").empty())
        GTEST_SKIP() << "runs inside the lab (scripts/lab run)";
    const std::string lan = env("TARNWICK_LAB_IF");
    runProcess({ "ip", "-4", "addr", "flush", "dev", lan });
    must({ "ip", "addr", "add", "192.0.2.23/24", "dev", lan });
    must({ "ip", "route", "replace", "default", "via", env("TARNWICK_LAB_GATEWAY") });
    std::ofstream("/etc/netns/" + env("TARNWICK_LAB_LAPTOP_NS") + "/resolv.conf")
        << "# resolver file of the lab\n";

    LabWindow lab;
    TFmain* w = lab.window.get();
    SilentPrompts& prompts = lab.prompts;

    const auto field = [&](const char* name) { return w->findChild<QLineEdit*>(QString::fromLatin1(name)); };
    field("cxTEIP")->setText(QStringLiteral("192.0.2.44"));
    field("cxTEDNSServer")->setText(QString::fromStdString(env("TARNWICK_LAB_DNS1")));
    field("cxTEDNSServer2")->setText(QString::fromStdString(env("TARNWICK_LAB_DNS2")));
    QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("cxBApply")), Qt::LeftButton);
    TFApply* a = w->applyWindow();
    ASSERT_NE(a, nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(!a->running(), 20000);
    const QString log = a->findChild<QPlainTextEdit*>(QStringLiteral("cxMinfo"))->toPlainText();
    EXPECT_TRUE(log.endsWith(QStringLiteral("设置完毕！"))) << log.toStdString();
    EXPECT_EQ(lab::addressTexts(), std::vector<std::string> { "192.0.2.44/24" });
    EXPECT_EQ(lab::defaultRoutes(), std::vector<std::string> { env("TARNWICK_LAB_GATEWAY") + " 1" });
    EXPECT_EQ(lab::nameservers(),
        (std::vector<std::string> { env("TARNWICK_LAB_DNS1"), env("TARNWICK_LAB_DNS2") }));
    const QRegularExpression roundTrip(QStringLiteral("^[0-9]+ms$"));
    // The probe pinged what the refresh read while the commands ran.
    QTRY_VERIFY_WITH_TIMEOUT(
        roundTrip.match(a->findChild<QLabel*>(QStringLiteral("cxLB_TestGate"))->text()).hasMatch(), 5000);

    // Retry: the values are in force now, so only the address step runs again
    // (the single command sets the address with its gateway), then the probe.
    w->Timer1Timer(); // the refresh that would have run meanwhile
    QTest::mouseClick(a->findChild<QPushButton*>(QStringLiteral("cxBretry")), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!a->running(), 20000);
    EXPECT_EQ(lab::addressTexts(), std::vector<std::string> { "192.0.2.44/24" });
    EXPECT_EQ(a->lastOutcome(), ApplySequence::Outcome::Done);

    // Back: the main window shows the adapter's new values.
    QTest::mouseClick(a->findChild<QPushButton*>(QStringLiteral("cxBback")), Qt::LeftButton);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(field("cxTEIP")->text(), QStringLiteral("192.0.2.44"));
    EXPECT_TRUE(prompts.messages.empty());
}

// Opening an exported quick-switch file switches the lab adapter, as the
// first start's file and as one a second start hands to the running window.
TEST(MainWindowLab, AQuickSwitchFileSwitchesTheLabAdapter)
{
    if (env("TARNWICK_LAB").empty())
        GTEST_SKIP() << "runs inside the lab (scripts/lab run)";
    runProcess({ "ip", "-4", "addr", "flush", "dev", env("TARNWICK_LAB_IF") });
    test::TempDir files;
    const auto exported = [&](const char* name, const char* cfgId) {
        const auto path = files / name;
        writeQuickSwitchFile(path, cfgId, 0);
        return QString::fromStdString(path.string());
    };
    const std::string labConfigs = readWholeFile(std::filesystem::path(test::kDataDir) / "config-lab.xml");
    LabWindow lab(
        labConfigs, [&](TFmain& w) { w.quickSwitchRequested(exported("切换到[lab-static].twk", "2")); });
    TFmain* w = lab.window.get();
    QTRY_VERIFY_WITH_TIMEOUT(w->applyWindow() && w->applyWindow()->isVisible(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!w->applyWindow()->running(), 20000);
    EXPECT_EQ(lab::addressTexts(), std::vector<std::string> { "192.0.2.10/24" });
    EXPECT_EQ(lab::defaultRoutes(), std::vector<std::string> { env("TARNWICK_LAB_GATEWAY") + " 1" });
    QTest::mouseClick(w->applyWindow()->findChild<QPushButton*>(QStringLiteral("cxBback")), Qt::LeftButton);

    // A second start hands its file over the instance channel.
    InstanceChannel channel;
    const QString socket = QString::fromStdString((files / "instance.sock").string());
    ASSERT_TRUE(channel.listen(socket));
    QObject::connect(&channel, &InstanceChannel::quickSwitchReceived, w, &TFmain::quickSwitchRequested);
    const QString two = exported("切换到[lab-two].twk", "3");
    std::thread second([&] { InstanceChannel::handOver(socket, two); });
    QTRY_VERIFY_WITH_TIMEOUT(
        w->applyWindow()->isVisible() && !w->applyWindow()->running() && lab::addressTexts().size() == 2,
        20000);
    second.join();
    EXPECT_EQ(lab::addressTexts(), (std::vector<std::string> { "10.1.0.5/16", "192.0.2.20/24" }));
    QTest::mouseClick(w->applyWindow()->findChild<QPushButton*>(QStringLiteral("cxBback")), Qt::LeftButton);
    EXPECT_TRUE(lab.prompts.messages.empty());

    // A configuration deleted since the export: said, and nothing runs.
    w->quickSwitchRequested(exported("gone.twk", "99"));
    QCoreApplication::processEvents();
    ASSERT_EQ(lab.prompts.messages.size(), 1u);
    EXPECT_NE(lab.prompts.messages[0].find("ID 99"), std::string::npos) << lab.prompts.messages[0];
    EXPECT_EQ(lab::addressTexts(), (std::vector<std::string> { "10.1.0.5/16", "192.0.2.20/24" }));
}

// The window's adapter list and status bar follow the kernel's events, with
// the refresh tick stopped: links that come and go, an address added.
namespace
{

QStringList adapterNames(QComboBox& box)
{
    QStringList out;
    for (int i = 0; i < box.count(); ++i)
        out << box.itemText(i).section(QStringLiteral(" - "), 0, 0);
    return out;
}

// The window of `lab` with the kernel's events followed and its tick stopped.
std::unique_ptr<LinkWatcher> followLinksOnly(LabWindow& lab)
{
    lab.window->findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
    return makeLinkWatcher(lab.window->linkHandlers());
}

} // namespace

TEST(MainWindowLab, AdaptersThatComeAndGoFollowTheKernel)
{
    if (env("TARNWICK_LAB").empty())
        GTEST_SKIP() << "runs inside the lab (scripts/lab run)";
    LabWindow lab;
    TFmain& w = *lab.window;
    const std::unique_ptr<LinkWatcher> watcher = followLinksOnly(lab);
    ASSERT_NE(watcher, nullptr);
    auto* box = w.findChild<QComboBox*>(QStringLiteral("cxCBAdapters"));
    const QString lan = QString::fromStdString(env("TARNWICK_LAB_IF"));
    ASSERT_TRUE(adapterNames(*box).contains(lan));

    for (const char* name : { "twv0", "twv1" }) {
        must({ "ip", "link", "add", name, "type", "veth", "peer", "name", std::string(name) + "p" });
        must({ "ip", "link", "set", name, "up" });
    }
    QTRY_VERIFY_WITH_TIMEOUT(adapterNames(*box).contains(QStringLiteral("twv1")), 10000);
    EXPECT_TRUE(adapterNames(*box).contains(QStringLiteral("twv0")));
    box->setCurrentIndex(static_cast<int>(adapterNames(*box).indexOf(QStringLiteral("twv1"))));

    // An adapter before the chosen one goes: the choice stays on it, and the
    // stored choice follows it to its new line.
    must({ "ip", "link", "del", "twv0" });
    QTRY_VERIFY_WITH_TIMEOUT(!adapterNames(*box).contains(QStringLiteral("twv0")), 10000);
    EXPECT_EQ(box->currentText().section(QStringLiteral(" - "), 0, 0), QStringLiteral("twv1"));
    const std::string line = std::to_string(box->currentIndex());
    EXPECT_EQ(settings::readValue(lab.registry, settings::kDefaultNetCard), line);

    // The chosen one goes: no line chosen, the hint says so, the stored
    // choice stays; it is chosen again when it comes back.
    must({ "ip", "link", "del", "twv1" });
    QTRY_VERIFY_WITH_TIMEOUT(!adapterNames(*box).contains(QStringLiteral("twv1")), 10000);
    EXPECT_EQ(box->currentIndex(), -1);
    EXPECT_EQ(box->toolTip(), QStringLiteral("没有这块网卡"));
    EXPECT_EQ(settings::readValue(lab.registry, settings::kDefaultNetCard), line);
    must({ "ip", "link", "add", "twv1", "type", "veth", "peer", "name", "twv1p" });
    must({ "ip", "link", "set", "twv1", "up" });
    QTRY_COMPARE_WITH_TIMEOUT(
        box->currentText().section(QStringLiteral(" - "), 0, 0), QStringLiteral("twv1"), 10000);
    runProcess({ "ip", "link", "del", "twv1" });
    EXPECT_TRUE(lab.prompts.messages.empty());
}

TEST(MainWindowLab, AnAddressAddedOnTheLabAdapterShowsWithoutATick)
{
    if (env("TARNWICK_LAB").empty())
        GTEST_SKIP() << "runs inside the lab (scripts/lab run)";
    const std::string lan = env("TARNWICK_LAB_IF");
    runProcess({ "ip", "-4", "addr", "flush", "dev", lan });
    LabWindow lab;
    const std::unique_ptr<LinkWatcher> watcher = followLinksOnly(lab);
    ASSERT_NE(watcher, nullptr);
    auto* ip = lab.window->findChild<QLabel*>(QStringLiteral("SB_IPStatus_panel0"));
    auto* mask = lab.window->findChild<QLabel*>(QStringLiteral("SB_IPStatus_panel1"));
    ASSERT_EQ(ip->text(), QStringLiteral("IP: "));

    must({ "ip", "addr", "add", "192.0.2.31/24", "dev", lan });
    QTRY_COMPARE_WITH_TIMEOUT(ip->text(), QStringLiteral("IP: 192.0.2.31"), 10000);
    EXPECT_EQ(mask->text(), QStringLiteral("Mask: 255.255.255.0"));
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // No window test may hang up a connection of this machine: the data
    // module's dial-up service finds no pppd (page tests put in their own).
    qputenv("TARNWICK_PPPD", "/nonexistent/pppd");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// The probe after a switch tests the network switched to: from a gateway
// that answers to one that does not, it shows "超时", not the old gateway's
// round trip.
TEST(MainWindowLab, TheProbeAfterAnApplyTestsTheNewGateway)
{
    if (env("TARNWICK_LAB").empty())
        GTEST_SKIP() << "runs inside the lab (scripts/lab run)";
    const std::string lan = env("TARNWICK_LAB_IF");
    runProcess({ "ip", "-4", "addr", "flush", "dev", lan });
    must({ "ip", "addr", "add", "192.0.2.23/24", "dev", lan });
    must({ "ip", "route", "replace", "default", "via", env("TARNWICK_LAB_GATEWAY") });

    LabWindow lab;
    TFmain* w = lab.window.get();
    ASSERT_EQ(lab.snapshot.get().gatewayInForce, env("TARNWICK_LAB_GATEWAY"));
    const auto field = [&](const char* name) { return w->findChild<QLineEdit*>(QString::fromLatin1(name)); };
    field("cxTEIP")->setText(QStringLiteral("192.0.2.44"));
    field("cxTEGateway")->setText(QStringLiteral("192.0.2.99")); // no such host in the lab
    field("cxTEDNSServer")->setText(QString::fromStdString(env("TARNWICK_LAB_DNS1")));
    QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("cxBApply")), Qt::LeftButton);
    TFApply* a = w->applyWindow();
    ASSERT_NE(a, nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(!a->running(), 20000);
    EXPECT_EQ(lab::defaultRoutes(), std::vector<std::string> { "192.0.2.99 1" });
    EXPECT_EQ(a->findChild<QLabel*>(QStringLiteral("cxLB_TestGate"))->text(), QStringLiteral("超时"));
    EXPECT_EQ(a->findChild<ProbeIndicator*>(QStringLiteral("SP_TestGate"))->colour(), QColor(255, 0, 0));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9]+ms$"))
                    .match(a->findChild<QLabel*>(QStringLiteral("cxLB_TestDNS"))->text())
                    .hasMatch());
}

// The window's switch on a link NetworkManager manages (scripts/lab run
// --nm): from NetworkManager's DHCP profile to static and back, the kernel and
// NetworkManager's profile follow, and the probe tests the values in force.
TEST(MainWindowLab, ApplyThroughNetworkManager)
{
    if (env("TARNWICK_LAB_NM") != "1")
        GTEST_SKIP() << "runs inside a lab with NetworkManager (scripts/lab run --nm)";
    const std::string gateway = env("TARNWICK_LAB_GATEWAY");
    const std::vector<std::string> servers { env("TARNWICK_LAB_DNS1"), env("TARNWICK_LAB_DNS2") };
    const auto profileMethod = [] {
        return runProcess({ "nmcli", "-g", "ipv4.method", "connection", "show", "lab-dhcp" }).out;
    };
    ASSERT_EQ(profileMethod(), "auto\n");

    LabWindow lab;
    TFmain* w = lab.window.get();
    const auto field = [&](const char* name) { return w->findChild<QLineEdit*>(QString::fromLatin1(name)); };
    const auto button
        = [&](const char* name) { return w->findChild<QAbstractButton*>(QString::fromLatin1(name)); };
    const auto startApply = [&] {
        QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("cxBApply")), Qt::LeftButton);
        return w->applyWindow();
    };

    button("cxRBUseIP")->click();
    field("cxTEIP")->setText(QStringLiteral("192.0.2.44"));
    field("cxTEMask")->setText(QStringLiteral("255.255.255.0"));
    field("cxTEGateway")->setText(QString::fromStdString(gateway));
    button("cxRBUseDNS")->click();
    field("cxTEDNSServer")->setText(QString::fromStdString(servers[0]));
    field("cxTEDNSServer2")->setText(QString::fromStdString(servers[1]));
    TFApply* a = startApply();
    ASSERT_NE(a, nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(!a->running(), 30000);
    const auto log = [&] { return a->findChild<QPlainTextEdit*>(QStringLiteral("cxMinfo"))->toPlainText(); };
    EXPECT_TRUE(log().endsWith(QStringLiteral("设置完毕！"))) << log().toStdString();
    EXPECT_EQ(lab::addressTexts(), std::vector<std::string> { "192.0.2.44/24" });
    EXPECT_EQ(lab::defaultRoutes(), std::vector<std::string> { gateway + " 1" });
    EXPECT_EQ(lab::nameservers(), servers) << lab::resolvConf();
    EXPECT_EQ(profileMethod(), "manual\n");
    QTRY_VERIFY_WITH_TIMEOUT(QRegularExpression(QStringLiteral("^[0-9]+ms$"))
                                 .match(a->findChild<QLabel*>(QStringLiteral("cxLB_TestGate"))->text())
                                 .hasMatch(),
        5000);

    QTest::mouseClick(a->findChild<QPushButton*>(QStringLiteral("cxBback")), Qt::LeftButton);
    button("cxRBDHCP")->click();
    button("cxRBAutoDNS")->click();
    a = startApply();
    ASSERT_NE(a, nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(!a->running(), 30000);
    EXPECT_TRUE(log().contains(QStringLiteral("设置完毕！"))) << log().toStdString();
    const auto now = lab::addresses();
    ASSERT_EQ(now.size(), 1u);
    EXPECT_TRUE(now[0].dynamic) << now[0].text << ": NetworkManager's lease";
    EXPECT_EQ(profileMethod(), "auto\n");
    EXPECT_EQ(lab::nameservers(), servers) << "the lease's servers: " << lab::resolvConf();
    EXPECT_TRUE(lab.prompts.messages.empty());
}

// A switch that cuts the gateway off offers "恢复原设置", which puts back the
// settings in force before it through the same steps and log; a switch whose
// gateway answers offers nothing.
TEST(MainWindowLab, ASilentGatewayOffersToPutBackTheSettingsBefore)
{
    if (env("TARNWICK_LAB").empty())
        GTEST_SKIP() << "runs inside the lab (scripts/lab run)";
    const std::string lan = env("TARNWICK_LAB_IF");
    const std::string gateway = env("TARNWICK_LAB_GATEWAY");
    if (env("TARNWICK_LAB_NM").empty()) {
        runProcess({ "ip", "-4", "addr", "flush", "dev", lan });
        must({ "ip", "addr", "add", "192.0.2.23/24", "dev", lan });
        must({ "ip", "route", "replace", "default", "via", gateway });
    }
    LabWindow lab;
    TFmain* w = lab.window.get();
    const auto field = [&](const char* name) { return w->findChild<QLineEdit*>(QString::fromLatin1(name)); };
    const auto applyFields = [&](const char* ip, const std::string& gw) {
        w->findChild<QAbstractButton*>(QStringLiteral("cxRBUseIP"))->click();
        field("cxTEIP")->setText(QString::fromLatin1(ip));
        field("cxTEMask")->setText(QStringLiteral("255.255.255.0"));
        field("cxTEGateway")->setText(QString::fromStdString(gw));
        w->findChild<QAbstractButton*>(QStringLiteral("cxRBUseDNS"))->click();
        field("cxTEDNSServer")->setText(QString::fromStdString(env("TARNWICK_LAB_DNS1")));
        QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("cxBApply")), Qt::LeftButton);
    };

    applyFields("192.0.2.44", gateway);
    TFApply* a = w->applyWindow();
    ASSERT_NE(a, nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(!a->running(), 30000);
    auto* restore = a->findChild<QPushButton*>(QStringLiteral("cxBrestore"));
    ASSERT_NE(restore, nullptr);
    EXPECT_FALSE(restore->isVisible()) << "the gateway answers: nothing to offer";
    const auto before = std::make_tuple(lab::addressTexts(), lab::defaultRoutes(), lab::nameservers());
    QTest::mouseClick(a->findChild<QPushButton*>(QStringLiteral("cxBback")), Qt::LeftButton);
    w->Timer1Timer(); // the refresh the clock would make meanwhile

    applyFields("192.0.2.45", "192.0.2.99"); // no such host in the lab
    QTRY_VERIFY_WITH_TIMEOUT(!a->running(), 30000);
    EXPECT_EQ(lab::defaultRoutes(), std::vector<std::string> { "192.0.2.99 1" });
    ASSERT_TRUE(restore->isVisible()) << "the gateway is silent";
    EXPECT_EQ(restore->text(), QStringLiteral("恢复原设置"));

    QTest::mouseClick(restore, Qt::LeftButton);
    EXPECT_FALSE(restore->isVisible()) << "hidden while it runs";
    QTRY_VERIFY_WITH_TIMEOUT(!a->running(), 30000);
    const QString log = a->findChild<QPlainTextEdit*>(QStringLiteral("cxMinfo"))->toPlainText();
    EXPECT_TRUE(log.startsWith(QStringLiteral("恢复原设置...\n连接名称: "))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("\n已恢复原设置。"))) << log.toStdString();
    EXPECT_EQ(std::make_tuple(lab::addressTexts(), lab::defaultRoutes(), lab::nameservers()), before);
    EXPECT_FALSE(restore->isVisible()) << "nothing more to put back";
    QTRY_VERIFY_WITH_TIMEOUT(QRegularExpression(QStringLiteral("^[0-9]+ms$"))
                                 .match(a->findChild<QLabel*>(QStringLiteral("cxLB_TestGate"))->text())
                                 .hasMatch(),
        5000);
}
