// The main window on the offscreen platform: real widgets, real settings
// functions over an in-memory registry, a real config.ini in a temporary
// folder, and fixture adapters.
#include "app/ConfigFileSearch.h"
#include "app/gui/InstanceChannel.h"
#include "app/gui/LookController.h"
#include "app/gui/ProbeIndicator.h"
#include "app/gui/TDM.h"
#include "app/gui/TFabout.h"
#include "app/gui/TFmain.h"
#include "base/MemoryRegistryStore.h"
#include "base/Settings.h"
#include "store/ConfigFile.h"
#include "store/StoreMessages.h"

#include "FakeIcmp.h"
#include "TempDir.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

using namespace tarnwick;
using namespace tarnwick::gui;
namespace fs = std::filesystem;

namespace
{

class ScriptedPrompts : public UserPrompts
{
public:
    std::vector<std::string> answers; // "" = cancel
    std::vector<std::string> messages;
    std::vector<std::string> titles;
    int asked = 0;

    void show(Kind, const std::string& text, const std::string& title = {}) override
    {
        messages.push_back(text);
        titles.push_back(title);
    }
    std::string askSaveFileName() override
    {
        const std::size_t i = static_cast<std::size_t>(asked++);
        return i < answers.size() ? answers[i] : std::string();
    }
    int count(const std::string& text) const
    {
        return static_cast<int>(std::count(messages.begin(), messages.end(), text));
    }
};

class TwoAdapters : public AdapterSource
{
public:
    std::vector<AdapterEntry> discover() override
    {
        return { { "id-0", "eth0", "Wired" }, { "id-1", "wlan0", "Wireless" } };
    }
};

// eth0 static with two DNS servers, wlan0 on DHCP.
class FixtureValues : public LiveValuesSource
{
public:
    InterfaceReading readInterface(const AdapterEntry& a) override
    {
        InterfaceReading r;
        if (a.instanceId == "id-0") {
            r.ip = { "192.0.2.23" };
            r.mask = { "255.255.255.0" };
            r.gateway = { "192.0.2.1" };
            r.nameServer = "192.0.2.53,192.0.2.54";
            r.gatewayInForce = "192.0.2.1";
            r.dnsInForce = "192.0.2.53";
        } else {
            r.dhcp = true;
            r.ip = { "198.51.100.7" };
            r.mask = { "255.255.255.0" };
        }
        return r;
    }
    ProxyReading readProxy() override { return { false, "proxy.lan:3128" }; }
};

struct Harness {
    test::TempDir dir;
    MemoryRegistryStore registry;
    ScriptedPrompts prompts;
    TwoAdapters adapters;
    FixtureValues live;
    LiveSnapshot snapshot;
    // No echo leaves this machine: the network test talks to a scripted one.
    test::FakeClock ticks;
    test::FakeIcmpNetwork icmp { ticks };
    TDM dm;
    std::unique_ptr<TFmain> window;

    fs::path ini() const { return dir / "config.ini"; }
    std::string configFile() const { return (dir / "config.xml").string(); }

    // A valid configuration file named by "ConfigFile", and a config.ini.
    void prepare(bool withIni = true)
    {
        std::ofstream(configFile(), std::ios::binary) << emptyConfigFileBytes();
        settings::writeConfigFile(registry, configFile());
        if (withIni)
            settings::writeSkin(ini(), "Valentine");
    }
    void set(std::string_view name, std::string_view value) { settings::writeValue(registry, name, value); }
    std::string get(std::string_view name) { return settings::readValue(registry, name); }

    TFmain& start()
    {
        window.reset();
        MainWindowContext ctx { prompts, registry, ini(), adapters, live, snapshot,
            [this](const std::string& p) { return static_cast<int>(checkConfigFile(p, prompts)); }, &icmp,
            &ticks };
        window = std::make_unique<TFmain>(dm, ctx);
        window->FormCreate();
        window->show();
        QCoreApplication::processEvents();
        return *window;
    }

    template <typename T> T* find(const char* name)
    {
        T* w = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QLineEdit* edit(const char* name) { return find<QLineEdit>(name); }
    bool enabled(const char* name) { return find<QWidget>(name)->isEnabled(); }
    void click(const char* name) { QTest::mouseClick(find<QWidget>(name), Qt::LeftButton); }
};

const char* const kSevenFields[]
    = { "cxTEIP", "cxTEIP2", "cxTEIP3", "cxTEMask", "cxTEMask2", "cxTEMask3", "cxTEGateway" };
const char* const kDnsFields[] = { "cxTEDNSServer", "cxTEDNSServer2", "cxTEDNSServer3", "cxTEDNSServer4" };

} // namespace

TEST(MainWindow, LayoutNamesAndCaptions)
{
    Harness h;
    h.prepare();
    TFmain& w = h.start();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("TarnwickV2.3"));
    EXPECT_EQ(w.height(), 368);
    EXPECT_EQ(w.minimumSize(), w.maximumSize()); // fixed size
    const struct {
        const char* name;
        const char* caption;
    } buttons[] = { { "cxBSave", "保 存" }, { "cxBApply", "应 用" }, { "cxBRenamecfg", "更 名" },
        { "cxBDeletecfg", "删 除" }, { "cxBNewcfg", "刷 新" }, { "cxBgj", "高级>>" }, { "cxBtest", "测 试" },
        { "cxBabout", "关 于" }, { "cxBexit", "退 出" }, { "cxBtj", "添 加" }, { "cxBbc", "保 存" },
        { "cxBbohao", "拨 号" }, { "cxBdk", "断 开" } };
    for (const auto& b : buttons)
        EXPECT_EQ(h.find<QPushButton>(b.name)->text(), QString::fromUtf8(b.caption)) << b.name;
    EXPECT_EQ(h.find<QPushButton>("cxBtest")->toolTip(), QStringLiteral("测试一下网络情况"));
    EXPECT_EQ(h.find<QRadioButton>("cxRBDHCP")->text(), QStringLiteral("自动获得IP地址"));
    EXPECT_EQ(h.find<QCheckBox>("cxCBSetAgent")->text(), QStringLiteral("启用该设置功能"));
    EXPECT_EQ(h.find<QCheckBox>("cxCBshotcut")->text(), QStringLiteral("快捷方式"));
    for (const char* f : { "cxTEIP", "cxTEMask2", "cxTEDNSServer4", "cxTEAgentIP", "cxTEGateway2" })
        EXPECT_EQ(h.edit(f)->width(), 121) << f;
    EXPECT_EQ(h.find<QComboBox>("cxCBSkin")->width(), 94);

    auto* bar = h.find<QStatusBar>("SB_IPStatus");
    EXPECT_EQ(bar->height(), 20);
    EXPECT_EQ(bar->findChildren<QLabel*>().size(), 5);
    const int panelWidths[4] = { 120, 120, 120, 200 };
    for (int i = 0; i < 4; ++i) {
        const QString name = QStringLiteral("SB_IPStatus_panel%1").arg(i);
        EXPECT_EQ(bar->findChild<QLabel*>(name)->width(), panelWidths[i]) << i;
    }

    QStringList menu;
    for (QAction* a : h.find<QMenu>("PM_Config")->actions())
        menu << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(menu.join(QLatin1Char('|')),
        QStringLiteral("查看配置|-|更改配置|删除配置|调整图标|刷新配置|-|上移配置|下移配置|-|快捷方式"));
    QStringList tray;
    for (QAction* a : w.trayMenu()->actions()) {
        tray << a->text();
        EXPECT_EQ(a->toolTip(), a->text());
    }
    EXPECT_EQ(tray.join(QLatin1Char('|')), QStringLiteral("显示窗体|隐藏窗体|退出"));
    EXPECT_EQ(w.trayIcon()->toolTip(), QStringLiteral("Tarnwick"));
    QTRY_VERIFY(w.trayIcon()->isVisible()); // right after the first paint
}

TEST(MainWindow, IpRadioButtonsSwitchTheAddressFieldsAndTheDnsChoice)
{
    Harness h;
    h.prepare();
    h.set(settings::kDefaultNetCard, "1"); // the DHCP adapter: everything starts automatic
    h.start();
    ASSERT_TRUE(h.find<QRadioButton>("cxRBDHCP")->isChecked());
    for (const char* f : kSevenFields)
        EXPECT_FALSE(h.enabled(f)) << f;

    h.click("cxRBAutoDNS");
    for (const char* f : kDnsFields)
        EXPECT_FALSE(h.enabled(f)) << f;

    h.click("cxRBUseIP");
    for (const char* f : kSevenFields)
        EXPECT_TRUE(h.enabled(f)) << f;
    EXPECT_FALSE(h.enabled("cxRBAutoDNS"));
    EXPECT_TRUE(h.find<QRadioButton>("cxRBUseDNS")->isChecked());
    for (const char* f : kDnsFields)
        EXPECT_TRUE(h.enabled(f)) << f;

    // Back to DHCP: the fields go, the automatic DNS choice becomes selectable
    // again, and the DNS choice itself stays.
    h.click("cxRBDHCP");
    for (const char* f : kSevenFields)
        EXPECT_FALSE(h.enabled(f)) << f;
    EXPECT_TRUE(h.enabled("cxRBAutoDNS"));
    EXPECT_TRUE(h.find<QRadioButton>("cxRBUseDNS")->isChecked());
    for (const char* f : kDnsFields)
        EXPECT_TRUE(h.enabled(f)) << f;
    EXPECT_TRUE(h.enabled("cxTEGateway2")); // never touched by the radio buttons
}

TEST(MainWindow, ProxyFeatureBoxGatesTheProxyBoxAndFields)
{
    Harness h;
    h.prepare();
    h.set(settings::kSetAgent, "1");
    h.start();
    auto* useAgent = h.find<QCheckBox>("cxCBUseAgent");
    ASSERT_TRUE(useAgent->isEnabled());
    EXPECT_FALSE(h.enabled("cxTEAgentIP")); // proxy off in the fixture
    h.click("cxCBUseAgent");
    EXPECT_TRUE(h.enabled("cxTEAgentIP"));
    EXPECT_TRUE(h.enabled("cxTEAgentPort"));

    h.click("cxCBSetAgent");
    EXPECT_EQ(h.get(settings::kSetAgent), "0");
    EXPECT_FALSE(useAgent->isEnabled());
    EXPECT_FALSE(h.enabled("cxTEAgentIP"));
    EXPECT_FALSE(h.enabled("cxTEAgentPort"));
    EXPECT_TRUE(useAgent->isChecked()); // its state is kept while disabled

    h.click("cxCBSetAgent");
    EXPECT_EQ(h.get(settings::kSetAgent), "1");
    EXPECT_TRUE(useAgent->isEnabled());
    EXPECT_TRUE(h.enabled("cxTEAgentIP")); // restored from "使用代理服务器"
}

TEST(MainWindow, AdvancedButtonTogglesTheWidthAndStoresIt)
{
    Harness h;
    h.prepare();
    h.set(settings::kAdvanced, "1");
    TFmain& w = h.start();
    EXPECT_EQ(w.outerWidth(), 722);
    h.click("cxBgj");
    EXPECT_EQ(w.outerWidth(), 531);
    EXPECT_EQ(w.height(), 368);
    EXPECT_EQ(h.get(settings::kAdvanced), "0");
    EXPECT_EQ(h.find<QPushButton>("cxBgj")->text(), QStringLiteral("高级>>"));
    h.click("cxBgj");
    EXPECT_EQ(w.outerWidth(), 722);
    EXPECT_EQ(h.get(settings::kAdvanced), "1");
}

TEST(MainWindow, StartupFollowsTheStoredTexts)
{
    struct Case {
        const char* name;
        const char* value; // nullptr = missing
        std::function<void(Harness&)> check;
    };
    const Case cases[] = {
        { "Advanced", "0", [](Harness& h) { EXPECT_EQ(h.window->outerWidth(), 531); } },
        { "Advanced", "1", [](Harness& h) { EXPECT_EQ(h.window->outerWidth(), 722); } },
        { "Advanced", "wide", [](Harness& h) { EXPECT_EQ(h.window->outerWidth(), 722); } },
        { "Advanced", nullptr,
            [](Harness& h) {
                EXPECT_EQ(h.window->outerWidth(), 722); // wide for this start
                EXPECT_EQ(h.get(settings::kAdvanced), "0");
            } },
        { "IconSize", "0",
            [](Harness& h) { EXPECT_EQ(h.find<QListWidget>("cxLVconfig")->iconSize(), QSize(32, 32)); } },
        { "IconSize", "1",
            [](Harness& h) { EXPECT_EQ(h.find<QListWidget>("cxLVconfig")->iconSize(), QSize(16, 16)); } },
        { "IconSize", "2",
            [](Harness& h) { EXPECT_EQ(h.find<QListWidget>("cxLVconfig")->iconSize(), QSize(16, 16)); } },
        { "IconSize", nullptr,
            [](Harness& h) {
                EXPECT_EQ(h.find<QListWidget>("cxLVconfig")->iconSize(), QSize(32, 32));
                EXPECT_EQ(h.get(settings::kIconSize), "0");
            } },
        { "SetAgent", "1",
            [](Harness& h) {
                EXPECT_TRUE(h.find<QCheckBox>("cxCBSetAgent")->isChecked());
                EXPECT_TRUE(h.enabled("cxCBUseAgent"));
            } },
        { "SetAgent", "0",
            [](Harness& h) {
                EXPECT_FALSE(h.find<QCheckBox>("cxCBSetAgent")->isChecked());
                EXPECT_FALSE(h.enabled("cxCBUseAgent"));
                EXPECT_FALSE(h.enabled("cxTEAgentIP"));
                EXPECT_FALSE(h.enabled("cxTEAgentPort"));
            } },
        { "SetAgent", "on",
            [](Harness& h) {
                EXPECT_FALSE(h.find<QCheckBox>("cxCBSetAgent")->isChecked());
                EXPECT_FALSE(h.enabled("cxCBUseAgent"));
            } },
        { "shotcut", "1", [](Harness& h) { EXPECT_TRUE(h.find<QCheckBox>("cxCBshotcut")->isChecked()); } },
        { "shotcut", "true",
            [](Harness& h) { EXPECT_FALSE(h.find<QCheckBox>("cxCBshotcut")->isChecked()); } },
        { "shotcut", nullptr,
            [](Harness& h) {
                EXPECT_FALSE(h.find<QCheckBox>("cxCBshotcut")->isChecked());
                EXPECT_EQ(h.get(settings::kShortcut), ""); // nothing written
            } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + "=" + (c.value ? c.value : "(missing)"));
        Harness h;
        h.prepare();
        if (c.value)
            h.set(c.name, c.value);
        h.start();
        c.check(h);
    }
}

TEST(MainWindow, FirstStartCreatesTheKeyWithItsDefaults)
{
    Harness h;
    // No settings at all; config.xml in the working directory.
    const fs::path cwd = fs::current_path();
    fs::current_path(h.dir.path());
    std::ofstream("config.xml", std::ios::binary) << emptyConfigFileBytes();
    settings::writeSkin(h.ini(), "Valentine");
    TFmain& w = h.start();
    fs::current_path(cwd);
    EXPECT_EQ(h.prompts.asked, 0);
    EXPECT_EQ(w.configFilePath(), "config.xml");
    EXPECT_EQ(h.get(settings::kVer), "1.0");
    EXPECT_EQ(h.get(settings::kConfigFile), "config.xml");
    EXPECT_EQ(h.get(settings::kIconSize), "0");
    EXPECT_EQ(h.get(settings::kAdvanced), "0");
    EXPECT_EQ(h.get(settings::kSetAgent), "0");
    EXPECT_EQ(h.get(settings::kShortcut), "");
    EXPECT_EQ(w.outerWidth(), 722);
    EXPECT_TRUE(w.isVisible());
}

TEST(MainWindow, MissingConfigurationFileCancelledClosesAfterShowing)
{
    Harness h;
    h.set(settings::kConfigFile, (h.dir / "gone.xml").string());
    settings::writeSkin(h.ini(), "Valentine");
    bool shown = false;
    h.window.reset();
    TFmain& w = h.start();
    shown = true;
    EXPECT_EQ(h.prompts.messages.front(), kConfigNotFound);
    EXPECT_EQ(h.prompts.asked, 1);
    EXPECT_EQ(w.configFilePath(), "null");
    QTRY_VERIFY(!w.isVisible());
    EXPECT_TRUE(shown);
    EXPECT_EQ(h.get(settings::kConfigFile), (h.dir / "gone.xml").string()); // keeps the last value
}

TEST(MainWindow, NewNameTypedInTheDialogBecomesAnEmptyConfigurationFile)
{
    Harness h;
    settings::writeSkin(h.ini(), "Valentine");
    const std::string typed = (h.dir / "mine.xml").string();
    h.prompts.answers = { typed };
    TFmain& w = h.start();
    EXPECT_EQ(w.configFilePath(), typed);
    EXPECT_EQ(h.get(settings::kConfigFile), typed);
    EXPECT_EQ(checkConfigFile(typed, h.prompts), ConfigCheck::Valid);
    EXPECT_EQ(getRecordCount(typed), 0u);
    QTest::qWait(50);
    EXPECT_TRUE(w.isVisible());
}

TEST(MainWindow, InvalidConfigurationFileIsRefused)
{
    Harness h;
    settings::writeSkin(h.ini(), "Valentine");
    const std::string bad = (h.dir / "bad.xml").string();
    std::ofstream(bad, std::ios::binary)
        << "<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<ConfigBox LastID=\"0\"/>\r\n";
    h.set(settings::kConfigFile, bad);
    TFmain& w = h.start();
    EXPECT_EQ(h.prompts.count(kConfigInvalid), 1);
    EXPECT_EQ(w.configFilePath(), "null");
    EXPECT_EQ(h.get(settings::kConfigFile), "config.xml");
    QTRY_VERIFY(!w.isVisible());
}

TEST(MainWindow, ShowingRefreshesTheStatusAndResetsTheProbeDisplay)
{
    Harness h;
    h.prepare();
    TFmain& w = h.start();
    EXPECT_EQ(h.edit("cxTEIP")->text(), QStringLiteral("192.0.2.23"));
    EXPECT_EQ(h.edit("cxTEDNSServer2")->text(), QStringLiteral("192.0.2.54"));
    EXPECT_EQ(h.find<QLabel>("SB_IPStatus_panel0")->text(), QStringLiteral("IP: 192.0.2.23"));
    EXPECT_EQ(h.find<QLabel>("SB_IPStatus_panel3")->text(), QStringLiteral("DNS: 192.0.2.53,192.0.2.54"));
    EXPECT_EQ(h.snapshot.get().config.ip[0], "192.0.2.23");

    h.find<ProbeIndicator>("SP_TestGate")->setColour(Qt::red);
    h.find<QLabel>("cxLTestDNS")->setText(QStringLiteral("超时"));
    h.edit("cxTEIP")->setText(QStringLiteral("10.9.9.9"));
    w.Timer1Timer(); // a tick keeps the user's edit
    EXPECT_EQ(h.edit("cxTEIP")->text(), QStringLiteral("10.9.9.9"));

    w.hideToTray();
    EXPECT_FALSE(w.isVisible());
    w.showFromTray();
    QCoreApplication::processEvents();
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(h.edit("cxTEIP")->text(), QStringLiteral("192.0.2.23")); // reloaded
    EXPECT_EQ(h.find<ProbeIndicator>("SP_TestGate")->colour(), QColor(Qt::white));
    EXPECT_EQ(h.find<QLabel>("cxLTestDNS")->text(), QStringLiteral("----"));
    EXPECT_EQ(h.find<QLabel>("cxLTestGate")->text(), QStringLiteral("----"));
}

TEST(MainWindow, AdapterSelectionIsStoredAndShownOnTheNextTick)
{
    Harness h;
    h.prepare();
    TFmain& w = h.start();
    auto* list = h.find<QComboBox>("cxCBAdapters");
    EXPECT_EQ(list->count(), 2);
    EXPECT_EQ(list->itemText(1), QStringLiteral("wlan0 - Wireless"));
    EXPECT_EQ(h.get(settings::kDefaultNetCard), ""); // the start's own selection writes nothing
    list->setCurrentIndex(1);
    EXPECT_EQ(h.get(settings::kDefaultNetCard), "1");
    w.Timer1Timer();
    EXPECT_TRUE(h.find<QRadioButton>("cxRBDHCP")->isChecked());
    EXPECT_EQ(h.edit("cxTEIP")->text(), QStringLiteral("198.51.100.7"));
}

TEST(MainWindow, MinimiseWithoutANotificationAreaStaysReachable)
{
    Harness h;
    h.prepare();
    TFmain& w = h.start();
    ASSERT_FALSE(w.trayAvailable()); // the offscreen platform has none
    w.showMinimized();
    QCoreApplication::processEvents();
    QTest::qWait(20);
    EXPECT_TRUE(w.isVisible());
    w.showFromTray();
    QCoreApplication::processEvents();
    EXPECT_FALSE(w.isMinimized());
}

TEST(MainWindow, AboutWindowIsCreatedOnceWithItsTwelveLines)
{
    Harness h;
    h.prepare();
    TFmain& w = h.start();
    for (int round = 0; round < 2; ++round) {
        QTimer::singleShot(0, [] {
            if (QWidget* modal = QApplication::activeModalWidget())
                modal->close();
        });
        h.click("cxBabout");
    }
    TFabout* about = w.aboutWindow();
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(w.findChildren<TFabout*>().size(), 1);
    EXPECT_EQ(about->windowTitle(), QStringLiteral("关于软件..."));
    EXPECT_EQ(about->size(), QSize(535, 343));
    const QStringList lines
        = about->findChild<QTextEdit*>(QStringLiteral("cxRichEdit1"))->toPlainText().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 12);
    EXPECT_EQ(lines.first(), QStringLiteral("    如果您电脑的IP地址经常要换来换去（比如：笔记本用户在家"));
    EXPECT_EQ(lines.last(), QStringLiteral("    1.2012.5.18 V3.0版，加入拨号功能。"));
}

TEST(MainWindow, ExitClosesTheWindow)
{
    Harness h;
    h.prepare();
    TFmain& w = h.start();
    h.click("cxBexit");
    EXPECT_FALSE(w.isVisible());
}

// ---- Network test ---------------------------------------------------------

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
    w.cxBtestClick();
    w.cxBtestClick();
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
    w.hideToTray();
    w.showFromTray();
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
    w.cxBtestClick();
    ASSERT_TRUE(w.probeRunning());
    // The worker is waiting for this thread to take its first hand-over.
    h.window.reset();
    EXPECT_EQ(h.icmp.sent.size(), 2u);
}

// ---- Configuration list ------------------------------------------------------

namespace
{

std::string fileText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string lastOpenTime(const fs::path& path)
{
    std::smatch m;
    const std::string text = fileText(path);
    return std::regex_search(text, m, std::regex("LastOpenTime=\"([^\"]*)\"")) ? m[1].str() : std::string();
}

QStringList captions(Harness& h)
{
    QStringList out;
    auto* list = h.find<QListWidget>("cxLVconfig");
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

void useFixture(Harness& h, const char* name)
{
    fs::copy_file(fs::path(test::kDataDir) / name, h.configFile(), fs::copy_options::overwrite_existing);
}

} // namespace

TEST(ConfigurationList, ShowingFillsTheListInFileOrderAndStampsTheFile)
{
    Harness h;
    h.prepare();
    useFixture(h, "config-sample.xml");
    ASSERT_EQ(lastOpenTime(h.configFile()), "2026-12-01 09:00:00");
    TFmain& w = h.start();
    // The third record has no name: it is labelled by its position.
    EXPECT_EQ(captions(h).join(QLatin1Char('|')), QStringLiteral("家里|办公室|Config2"));
    EXPECT_EQ(w.configTable().count(), 3u);
    auto* list = h.find<QListWidget>("cxLVconfig");
    EXPECT_TRUE(list->selectedItems().isEmpty());
    EXPECT_FALSE(list->item(0)->icon().isNull());
    const std::string stamped = lastOpenTime(h.configFile());
    EXPECT_NE(stamped, "2026-12-01 09:00:00");
    EXPECT_TRUE(std::regex_match(stamped, std::regex(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})"))) << stamped;
}

TEST(ConfigurationList, EmptyFileShowsNothingAndIsNotWritten)
{
    Harness h;
    h.prepare();
    useFixture(h, "config-empty-box.xml");
    const std::string before = fileText(h.configFile());
    h.start();
    EXPECT_EQ(h.find<QListWidget>("cxLVconfig")->count(), 0);
    EXPECT_EQ(fileText(h.configFile()), before);
}

TEST(ConfigurationList, RefreshReloadsTheFileAndAMissingFileKeepsTheItems)
{
    Harness h;
    h.prepare();
    useFixture(h, "config-sample.xml");
    TFmain& w = h.start();
    ASSERT_EQ(captions(h).size(), 3);

    fs::remove(h.configFile());
    h.find<QAction>("Refresh1")->trigger();
    EXPECT_EQ(h.prompts.count(msg::kConfigNotFound), 1);
    EXPECT_EQ(h.prompts.count(msg::kInternalError001), 1);
    EXPECT_EQ(captions(h).size(), 3);

    useFixture(h, "config-empty-box.xml");
    h.find<QAction>("Refresh1")->trigger();
    EXPECT_EQ(captions(h).size(), 0);

    // Every showing reloads the list from the file.
    useFixture(h, "config-sample.xml");
    w.hideToTray();
    w.showFromTray();
    QCoreApplication::processEvents();
    EXPECT_EQ(captions(h).join(QLatin1Char('|')), QStringLiteral("家里|办公室|Config2"));
}

TEST(ConfigurationList, IconSizeChoosesLargeOrSmallIcons)
{
    for (const char* value : { "0", "1" }) {
        SCOPED_TRACE(value);
        Harness h;
        h.prepare();
        useFixture(h, "config-sample.xml");
        h.set(settings::kIconSize, value);
        h.start();
        auto* list = h.find<QListWidget>("cxLVconfig");
        const bool large = std::string_view(value) == "0";
        EXPECT_EQ(list->iconSize(), large ? QSize(32, 32) : QSize(16, 16));
        EXPECT_EQ(list->viewMode(), large ? QListView::IconMode : QListView::ListMode);
        EXPECT_EQ(list->count(), 3);
    }
}

// ---- Skins ------------------------------------------------------------------

TEST(Skins, ListOrderAndCount)
{
    Harness h;
    h.prepare();
    h.start();
    auto* list = h.find<QComboBox>("cxCBSkin");
    ASSERT_EQ(list->count(), 34);
    EXPECT_EQ(list->itemText(0), QStringLiteral("Standard"));
    EXPECT_EQ(list->itemText(1), QStringLiteral("Flat"));
    EXPECT_EQ(list->itemText(2), QStringLiteral("Ultra Flat"));
    EXPECT_EQ(list->itemText(3), QStringLiteral("Black"));
    EXPECT_EQ(list->itemText(33), QStringLiteral("Xmas2008Blue"));
    EXPECT_EQ(list->findText(QStringLiteral("DefaultUserSkinData"), Qt::MatchFixedString), -1);
    EXPECT_EQ(list->currentText(), QStringLiteral("Valentine"));
    EXPECT_TRUE(h.dm.look().skinsOn());
    EXPECT_EQ(h.dm.look().skinName(), QStringLiteral("Valentine"));
}

TEST(Skins, ChoiceIsStoredAppliedAfterTheChangeAndSurvivesARestart)
{
    Harness h;
    h.prepare();
    h.start();
    auto* list = h.find<QComboBox>("cxCBSkin");
    list->setCurrentIndex(2);
    EXPECT_EQ(settings::readSkin(h.ini()), "Ultra Flat");
    EXPECT_TRUE(h.dm.look().skinsOn()); // posted, not applied inside the change handler
    QCoreApplication::processEvents();
    EXPECT_FALSE(h.dm.look().skinsOn());
    EXPECT_EQ(h.dm.look().kind(), LookKind::UltraFlat);

    h.start(); // a new window over the same settings
    EXPECT_EQ(h.find<QComboBox>("cxCBSkin")->currentText(), QStringLiteral("Ultra Flat"));
    EXPECT_FALSE(h.dm.look().skinsOn());
    EXPECT_EQ(h.dm.look().kind(), LookKind::UltraFlat);

    list = h.find<QComboBox>("cxCBSkin");
    list->setCurrentIndex(3);
    QCoreApplication::processEvents();
    EXPECT_EQ(settings::readSkin(h.ini()), "Black");
    EXPECT_TRUE(h.dm.look().skinsOn());
    EXPECT_EQ(h.dm.look().skinName(), QStringLiteral("Black"));
    EXPECT_FALSE(qApp->styleSheet().isEmpty());
}

TEST(Skins, IMaginaryIsStoredWithItsOwnCase)
{
    Harness h;
    h.prepare();
    h.start();
    auto* list = h.find<QComboBox>("cxCBSkin");
    list->setCurrentIndex(list->findText(QStringLiteral("iMaginary")));
    QCoreApplication::processEvents();
    EXPECT_EQ(settings::readSkin(h.ini()), "iMaginary");
    EXPECT_EQ(h.dm.look().skinName(), QStringLiteral("iMaginary"));
}

TEST(Skins, MissingConfigIniWarnsAtEveryShowingAndTheFirstChoiceCreatesIt)
{
    Harness h;
    h.prepare(false);
    TFmain& w = h.start();
    EXPECT_EQ(h.prompts.count("配置信息不存在!"), 1);
    EXPECT_EQ(h.prompts.titles.back(), "系统警告");
    EXPECT_FALSE(h.dm.look().skinsOn());
    auto* list = h.find<QComboBox>("cxCBSkin");
    EXPECT_EQ(list->count(), 34);

    w.hideToTray();
    w.showFromTray();
    QCoreApplication::processEvents();
    EXPECT_EQ(h.prompts.count("配置信息不存在!"), 2);

    list->setCurrentIndex(list->findText(QStringLiteral("Seven")));
    ASSERT_TRUE(fs::exists(h.ini()));
    EXPECT_EQ(settings::readSkin(h.ini()), "Seven");
}

TEST(Skins, ConfigIniWithoutASettingSectionGivesValentine)
{
    Harness h;
    h.prepare(false);
    std::ofstream(h.ini(), std::ios::binary) << "[office]\r\nSyhm=user\r\n";
    h.start();
    EXPECT_EQ(h.find<QComboBox>("cxCBSkin")->currentText(), QStringLiteral("Valentine"));
    EXPECT_EQ(h.dm.look().skinName(), QStringLiteral("Valentine"));
}

TEST(Skins, UnknownStoredNameStartsWithThePlainLookAndTheListStaysUsable)
{
    Harness h;
    h.prepare(false);
    settings::writeSkin(h.ini(), "NoSuchSkin");
    TFmain& w = h.start();
    EXPECT_TRUE(w.isVisible());
    auto* list = h.find<QComboBox>("cxCBSkin");
    EXPECT_EQ(list->currentIndex(), -1);
    EXPECT_FALSE(h.dm.look().skinsOn());
    EXPECT_EQ(h.dm.look().kind(), LookKind::Standard);
    list->setCurrentIndex(list->findText(QStringLiteral("Pumpkin")));
    QCoreApplication::processEvents();
    EXPECT_EQ(h.dm.look().skinName(), QStringLiteral("Pumpkin"));
}

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

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
