// The main window: layout, enable rules, widths, start-up settings, tray and about.
#include "GuiHarness.h"

using namespace tarnwick;
using namespace tarnwick::gui;
using namespace tarnwick::test;

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
    // Nothing a user reads is cut off: captions fit their buttons and labels,
    // every address field shows the widest address whole, and the status
    // panels hold their longest texts.
    for (QPushButton* button : w.findChildren<QPushButton*>())
        EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()), button->width() - 4)
            << button->objectName().toStdString();
    for (QLineEdit* field : w.findChildren<QLineEdit*>()) {
        EXPECT_LE(field->fontMetrics().horizontalAdvance(QStringLiteral("255.255.255.255")),
            field->contentsRect().width() - 4)
            << field->objectName().toStdString();
        const auto* label = w.findChild<QLabel*>(QStringLiteral("L_") + field->objectName());
        ASSERT_NE(label, nullptr) << field->objectName().toStdString();
        EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width())
            << label->text().toStdString();
        // A visible gap between a label's text and its field.
        EXPECT_LE(label->geometry().left() + label->fontMetrics().horizontalAdvance(label->text()) + 4,
            field->geometry().left())
            << label->text().toStdString() << " touches its field";
    }
    auto* bar = h.find<QStatusBar>("SB_IPStatus");
    EXPECT_EQ(bar->findChildren<QLabel*>().size(), 5);
    // The panels keep the widths of the original (120, 120, 120, 200); a home
    // network's values fit them in the program's font.
    const QString longest[4] = { QStringLiteral("IP: 192.168.100.10"), QStringLiteral("Mask: 255.255.255.0"),
        QStringLiteral("Gate: 192.168.100.1"), QStringLiteral("DNS: 192.168.100.1,192.168.1.53") };
    for (int i = 0; i < 4; ++i) {
        const auto* panel = bar->findChild<QLabel*>(QStringLiteral("SB_IPStatus_panel%1").arg(i));
        EXPECT_LE(panel->fontMetrics().horizontalAdvance(longest[i]), panel->contentsRect().width()) << i;
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
    EXPECT_EQ(tray.join(QLatin1Char('|')), QStringLiteral("切换到||显示窗体|隐藏窗体|退出"));
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
    // No group is cut by the narrow window's edge: what does not fit is hidden.
    for (QGroupBox* g : w.findChildren<QGroupBox*>()) {
        if (g->isVisible()) {
            EXPECT_LE(g->mapTo(&w, QPoint(g->width(), 0)).x(), w.width()) << g->title().toStdString();
        }
    }
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
    EXPECT_EQ(h.prompts.messages.back(), kNoConfigFileEnds) << "the program does not end silently";
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

// A file whose records share an ID worked before: it still opens, with a
// warning naming the ID, and every record is listed (none hidden behind the
// repeated one). `tarnwick check` refuses the same file.
TEST(MainWindow, RepeatedIdsAreNamedAtStartAndEveryRecordIsListed)
{
    Harness h;
    h.prepare();
    fs::copy_file(
        fs::path(kDataDir) / "config-repeated-id.xml", h.configFile(), fs::copy_options::overwrite_existing);
    TFmain& w = h.start();
    EXPECT_EQ(w.configFilePath(), h.configFile());
    ASSERT_EQ(h.prompts.messages.size(), 1u);
    EXPECT_NE(h.prompts.messages[0].find("编号（ID）重复的配置：1。"), std::string::npos)
        << h.prompts.messages[0];
    EXPECT_EQ(h.prompts.count(kConfigInvalid), 0);
    auto* list = h.find<QListWidget>("cxLVconfig");
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(1)->text(), QStringLiteral("second"));
    EXPECT_EQ(list->item(2)->text(), QStringLiteral("copy of first"));
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

    trayChoice(w, "N4"); // "隐藏窗体"
    EXPECT_FALSE(w.isVisible());
    trayChoice(w, "N3"); // "显示窗体"
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
    trayChoice(w, "N3"); // "显示窗体"
    QCoreApplication::processEvents();
    EXPECT_FALSE(w.isMinimized());
}

TEST(MainWindow, ARaiseRequestBringsBackAHiddenOrMinimisedWindow)
{
    Harness h;
    h.prepare();
    TFmain& w = h.start();
    test::TempDir dir;
    const QString socket = QString::fromStdString((dir / "tarnwick.sock").string());
    InstanceChannel channel;
    ASSERT_TRUE(channel.listen(socket));
    QObject::connect(&channel, &InstanceChannel::raiseRequested, &w, &TFmain::raiseRequested);
    const auto secondStart = [&] {
        std::atomic<bool> accepted = false;
        std::thread second([&] { accepted = InstanceChannel::requestRaise(socket); });
        QTRY_VERIFY(accepted.load());
        second.join();
        QCoreApplication::processEvents();
    };

    trayChoice(w, "N4"); // "隐藏窗体"
    ASSERT_FALSE(w.isVisible());
    QSignalSpy shown(&w, &TFmain::formShown);
    secondStart();
    QTRY_VERIFY(w.isVisible());
    EXPECT_EQ(shown.count(), 1); // shown as "显示窗体" shows it, with the reload

    w.showMinimized();
    QCoreApplication::processEvents();
    ASSERT_TRUE(w.isMinimized());
    secondStart();
    QTRY_VERIFY(!w.isMinimized());
    EXPECT_TRUE(w.isVisible());

    // During a switch its window stands in for the main window.
    h.icmp.script.push_back({ { 3, echoDatagram(kIcmpEchoReply, 3489) } });
    h.icmp.script.push_back({ { 4, echoDatagram(kIcmpEchoReply, 3490) } });
    h.click("cxBApply");
    TFApply* a = w.applyWindow();
    ASSERT_NE(a, nullptr);
    QTRY_VERIFY(!a->running());
    a->showMinimized();
    QCoreApplication::processEvents();
    ASSERT_TRUE(a->isMinimized());
    secondStart();
    QTRY_VERIFY(!a->isMinimized());
    EXPECT_TRUE(a->isVisible());
    EXPECT_FALSE(w.isVisible());
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
