// The configurations in force marked in the list and the tray's switch menu,
// and the apply log naming the stored configuration a switch starts from.
#include "GuiHarness.h"
#include "StoreTestUtil.h"

#include <QPlainTextEdit>

using namespace tarnwick;
using namespace tarnwick::gui;
using namespace tarnwick::test;

namespace
{

ConfigRecord record(const std::string& id, const std::string& name, const std::string& ip,
    const std::string& dns1, const std::string& dns2, bool fixed)
{
    ConfigRecord r = sampleRecord(id, name);
    for (ConfigField f :
        { ConfigField::Ip2, ConfigField::Ip3, ConfigField::Mask2, ConfigField::Mask3, ConfigField::Gate2,
            ConfigField::Dns3, ConfigField::Dns4, ConfigField::AgentIp, ConfigField::AgentPort })
        r[f].clear();
    r[ConfigField::Ip1] = ip;
    r[ConfigField::Mask1] = fixed ? "255.255.255.0" : "";
    r[ConfigField::Gate1] = fixed ? "192.0.2.1" : "";
    r[ConfigField::Dns1] = dns1;
    r[ConfigField::Dns2] = dns2;
    r[ConfigField::UseIp] = fixed ? "1" : "0";
    r[ConfigField::UseDns] = fixed ? "1" : "0";
    r[ConfigField::UseAgent] = "0";
    r[ConfigField::SetAgent] = "0";
    return r;
}

// eth0 of the fixture as it is in force, another static one, and DHCP (wlan0).
const ConfigRecord kEth0 = record("1", "有线", "192.0.2.23", "192.0.2.53", "192.0.2.54", true);
const ConfigRecord kOther = record("2", "别处", "192.0.2.99", "192.0.2.53", "", true);
const ConfigRecord kDhcp = record("3", "自动", "", "", "", false);

// One letter a row: "B" bold in the list, "C" checked in the menu, "-" plain.
QString listMarks(Harness& h)
{
    QString out;
    auto* list = h.find<QListWidget>("cxLVconfig");
    for (int i = 0; i < list->count(); ++i)
        out += list->item(i)->font().bold() ? QLatin1Char('B') : QLatin1Char('-');
    return out;
}

QString menuMarks(TFmain& w)
{
    QString out;
    for (QAction* a : w.switchMenu()->actions())
        out += a->isChecked() ? QLatin1Char('C') : QLatin1Char('-');
    return out;
}

void clickRow(Harness& h, int row)
{
    auto* list = h.find<QListWidget>("cxLVconfig");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
}

QStringList applyLog(TFmain& w)
{
    EXPECT_NE(w.applyWindow(), nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.applyWindow()->running(); }));
    return w.applyWindow()
        ->findChild<QPlainTextEdit*>(QStringLiteral("cxMinfo"))
        ->toPlainText()
        .split(QLatin1Char('\n'));
}

} // namespace

TEST(InForceMarks, TheListAndTheSwitchMenuFollowTheValuesInForce)
{
    Harness h;
    h.prepare();
    writeBytes(h.configFile(), configFileBytes("3", { kEth0, kOther, kDhcp }));
    TFmain& w = h.start();
    EXPECT_EQ(listMarks(h), QStringLiteral("B--"));
    EXPECT_EQ(menuMarks(w), QStringLiteral("C--"));

    // Another adapter, other values in force: the marks move with the refresh.
    h.find<QComboBox>("cxCBAdapters")->setCurrentIndex(1);
    w.Timer1Timer();
    EXPECT_EQ(listMarks(h), QStringLiteral("--B"));
    EXPECT_EQ(menuMarks(w), QStringLiteral("--C"));

    // Loading a configuration into the fields changes nothing in force.
    clickRow(h, 0);
    w.Timer1Timer();
    EXPECT_EQ(listMarks(h), QStringLiteral("--B"));

    // None in force: nothing marked, also after the list was rebuilt.
    writeBytes(h.configFile(), configFileBytes("2", { kOther }));
    h.start();
    EXPECT_EQ(listMarks(h), QStringLiteral("-"));
    EXPECT_EQ(menuMarks(*h.window), QStringLiteral("-"));
}

TEST(ApplyLogName, ASwitchFromAStoredConfigurationNamesItUnlessItWasEdited)
{
    Harness h;
    h.prepare();
    writeBytes(h.configFile(), configFileBytes("2", { kEth0, kOther }));
    TFmain& w = h.start();

    clickRow(h, 1);
    h.click("cxBApply");
    QStringList log = applyLog(w);
    ASSERT_GE(log.size(), 3);
    EXPECT_EQ(log[0], QStringLiteral("连接名称: eth0"));
    EXPECT_EQ(log[1], QStringLiteral("配置名称: 别处"));
    EXPECT_EQ(log[2], QString());
    QTest::mouseClick(w.applyWindow()->findChild<QPushButton*>(QStringLiteral("cxBback")), Qt::LeftButton);

    // Loaded, then edited: the fields are no stored configuration.
    clickRow(h, 1);
    h.edit("cxTEIP")->setText(QStringLiteral("192.0.2.98"));
    h.click("cxBApply");
    log = applyLog(w);
    ASSERT_GE(log.size(), 2);
    EXPECT_EQ(log[0], QStringLiteral("连接名称: eth0"));
    EXPECT_EQ(log[1], QString());
    QTest::mouseClick(w.applyWindow()->findChild<QPushButton*>(QStringLiteral("cxBback")), Qt::LeftButton);

    // The tray's menu switches from a stored configuration too.
    w.switchMenu()->actions().at(1)->trigger();
    QTRY_VERIFY(w.applyWindow()->isVisible());
    log = applyLog(w);
    ASSERT_GE(log.size(), 2);
    EXPECT_EQ(log[1], QStringLiteral("配置名称: 别处"));
}
