// The configuration list's operations and the save dialog on the real main
// window: each operation's effect on the file, on ConfigTable and on the list.
#include "GuiHarness.h"
#include "StoreTestUtil.h"

#include "store/ConfigRecord.h"
#include "store/gui/TFSaveConfig.h"

#include <QScrollBar>
#include <QTabWidget>

#include <sys/stat.h>

using namespace tarnwick;
using namespace tarnwick::gui;
using namespace tarnwick::test;

namespace
{

constexpr const char* kFileChanged = "配置文件已被其他程序更改，未作任何更改。配置列表已刷新，请重新选择。";

// Four configurations with IDs 1 to 4, the third without a name.
std::vector<ConfigRecord> fourRecords()
{
    return { sampleRecord("1", "家里"), sampleRecord("2", "Office"), sampleRecord("3", ""),
        sampleRecord("4", "车站") };
}

struct ListWindow {
    Harness h;
    TFmain* w = nullptr;

    explicit ListWindow(const std::vector<ConfigRecord>& records = fourRecords())
    {
        h.prepare();
        writeBytes(h.configFile(), configFileBytes(std::to_string(records.size()), records));
        w = &h.start();
    }
    QListWidget* list() { return h.find<QListWidget>("cxLVconfig"); }
    QStringList captions()
    {
        QStringList out;
        for (int i = 0; i < list()->count(); ++i)
            out << list()->item(i)->text();
        return out;
    }
    void select(int row) { list()->setCurrentRow(row); }
    std::vector<ConfigRecord> fileRecords() { return tarnwick::test::listed(h.configFile()).records; }
    std::string fileBytes() { return readBytes(h.configFile()); }
    QAction* action(const char* name) { return h.find<QAction>(name); }
};

std::vector<std::string> ids(const std::vector<ConfigRecord>& records)
{
    std::vector<std::string> out;
    for (const auto& r : records)
        out.push_back(r[ConfigField::Id]);
    return out;
}

} // namespace

TEST(ViewConfig, CopiesTheRecordWithTheEffectsOfTheUsersClicks)
{
    struct Case {
        const char* useIp;
        const char* useDns;
        const char* useAgent;
        const char* setAgent;
        bool fixedIp; // cxRBUseIP checked
        bool dnsFixed; // cxRBUseDNS checked
        bool autoDnsEnabled;
    };
    const Case cases[] = {
        { "1", "1", "0", "0", true, true, false },
        { "0", "0", "0", "0", false, false, true },
        { "", "1", "1", "1", false, true, true },
        { "yes", "0", "1", "0", false, false, true },
        { "01", "1", "0", "1", false, true, true },
        // A fixed address forces the DNS choice, then the stored USEDNS decides.
        { "1", "0", "0", "0", true, false, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("USEIP=") + c.useIp + " USEDNS=" + c.useDns);
        ConfigRecord r = sampleRecord("1", "x");
        r[ConfigField::UseIp] = c.useIp;
        r[ConfigField::UseDns] = c.useDns;
        r[ConfigField::UseAgent] = c.useAgent;
        r[ConfigField::SetAgent] = c.setAgent;
        ListWindow lw({ r });
        Harness& h = lw.h;
        // The click makes "IP配置" the page shown.
        auto* pages = h.find<QTabWidget>("cxPCxzcz");
        pages->setCurrentIndex(1);
        QTest::mouseClick(lw.list()->viewport(), Qt::LeftButton, {},
            lw.list()->visualItemRect(lw.list()->item(0)).center());
        ASSERT_EQ(lw.list()->selectedItems().size(), 1);
        EXPECT_EQ(pages->currentWidget()->objectName(), QStringLiteral("cxTSipconfig"));

        EXPECT_EQ(h.edit("cxTEIP")->text().toStdString(), r[ConfigField::Ip1]);
        EXPECT_EQ(h.edit("cxTEGateway2")->text().toStdString(), r[ConfigField::Gate2]);
        EXPECT_EQ(h.edit("cxTEDNSServer4")->text().toStdString(), r[ConfigField::Dns4]);
        EXPECT_EQ(h.edit("cxTEAgentPort")->text().toStdString(), r[ConfigField::AgentPort]);
        EXPECT_EQ(h.find<QRadioButton>("cxRBUseIP")->isChecked(), c.fixedIp);
        EXPECT_EQ(h.find<QRadioButton>("cxRBDHCP")->isChecked(), !c.fixedIp);
        for (const char* f : kSevenFields)
            EXPECT_EQ(h.enabled(f), c.fixedIp) << f;
        EXPECT_EQ(h.find<QRadioButton>("cxRBUseDNS")->isChecked(), c.dnsFixed);
        EXPECT_EQ(h.find<QRadioButton>("cxRBAutoDNS")->isChecked(), !c.dnsFixed);
        EXPECT_EQ(h.enabled("cxRBAutoDNS"), c.autoDnsEnabled);
        for (const char* f : kDnsFields)
            EXPECT_EQ(h.enabled(f), c.dnsFixed) << f;
        const bool setAgent = std::string_view(c.setAgent) == "1";
        EXPECT_EQ(h.find<QCheckBox>("cxCBSetAgent")->isChecked(), setAgent);
        EXPECT_EQ(h.find<QCheckBox>("cxCBUseAgent")->isChecked(), std::string_view(c.useAgent) == "1");
        EXPECT_EQ(h.enabled("cxCBUseAgent"), setAgent);
        // The box's own click handler ran: the stored setting follows it.
        EXPECT_EQ(h.get(settings::kSetAgent), setAgent ? "1" : "0");
    }
}

// What the fields show reads back as it was put in, for every combination
// of the four switches; only the proxy box's own click stores its setting.
TEST(ViewConfig, SetFieldsIsTheInverseOfFields)
{
    Harness h;
    h.prepare();
    TFmain& w = h.start();
    ApplyInputs& inputs = w;
    for (int bits = 0; bits < 16; ++bits) {
        TcpIpConfig c;
        c.ip = { "10.0.0." + std::to_string(bits), "10.0.1.1", "" };
        c.mask = { "255.255.255.0", "255.255.0.0", "" };
        c.gateway = { "10.0.0.254", "" };
        c.dns = { "10.0.0.53", "", "10.0.2.53", "" };
        c.proxyHost = "proxy.lan";
        c.proxyPort = std::to_string(3128 + bits);
        c.fixedIp = (bits & 1) != 0;
        c.fixedDns = (bits & 2) != 0;
        c.proxyOn = (bits & 4) != 0;
        c.proxyTakesPart = (bits & 8) != 0;
        SCOPED_TRACE(bits);
        w.setFields(c);
        EXPECT_EQ(inputs.fields(), c);
        EXPECT_EQ(h.get(settings::kSetAgent), c.proxyTakesPart ? "1" : "0");
    }
}

TEST(ViewConfig, RefreshButtonAndMenuPutTheStoredValuesBack)
{
    ListWindow lw;
    Harness& h = lw.h;
    h.find<QAction>("View1")->trigger();
    EXPECT_EQ(h.prompts.messages, std::vector<std::string> { "请先选中您想查看的配置！" });
    EXPECT_EQ(h.prompts.kinds.back(), MessageSink::Kind::Plain);
    h.click("cxBNewcfg"); // nothing selected: nothing happens
    EXPECT_EQ(h.prompts.messages.size(), 1u);

    lw.select(1);
    h.edit("cxTEIP")->setText("typed over");
    h.click("cxBNewcfg");
    EXPECT_EQ(h.edit("cxTEIP")->text().toStdString(), fourRecords()[1][ConfigField::Ip1]);
    h.edit("cxTEIP")->setText("typed again");
    h.find<QAction>("View1")->trigger();
    EXPECT_EQ(h.edit("cxTEIP")->text().toStdString(), fourRecords()[1][ConfigField::Ip1]);
}

TEST(ConfigList, WithoutASelectionEachOperationSaysSoAndWritesNothing)
{
    const struct {
        const char* action;
        const char* message;
        MessageSink::Kind kind;
    } cases[] = {
        { "Moveup1", "请先选中您想上移的配置！", MessageSink::Kind::Plain },
        { "Movedown1", "请先选中您想下移的配置！", MessageSink::Kind::Plain },
        { "N1", "请先选中您想更名的配置!", MessageSink::Kind::Warning },
        { "Delete1", "请先选中您想删除的配置!", MessageSink::Kind::Warning },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.action);
        ListWindow lw;
        const std::string before = lw.fileBytes();
        lw.action(c.action)->trigger();
        EXPECT_EQ(lw.h.prompts.messages, std::vector<std::string> { c.message });
        EXPECT_EQ(lw.h.prompts.kinds, std::vector<MessageSink::Kind> { c.kind });
        EXPECT_TRUE(lw.h.prompts.questions.empty());
        EXPECT_EQ(lw.fileBytes(), before);
    }
}

TEST(ConfigList, DeleteAsksNamingTheCaptionAndRemovesOnlyThatRecord)
{
    for (const bool yes : { false, true }) {
        SCOPED_TRACE(yes ? "Yes" : "No");
        ListWindow lw;
        const std::string before = lw.fileBytes();
        lw.h.prompts.yes = { yes };
        lw.select(2);
        lw.h.click("cxBDeletecfg");
        EXPECT_EQ(lw.h.prompts.questions, std::vector<std::string> { "确实要删除\"Config2\"这条配置吗?" });
        if (!yes) {
            EXPECT_EQ(lw.fileBytes(), before);
            continue;
        }
        auto expected = fourRecords();
        expected.erase(expected.begin() + 2);
        EXPECT_EQ(lw.fileRecords(), expected);
        EXPECT_EQ(lw.w->configTable().records, expected);
        EXPECT_EQ(lw.captions().join('|'), QStringLiteral("家里|Office|车站"));
        EXPECT_TRUE(lw.list()->selectedItems().isEmpty());
    }
}

TEST(ConfigList, KeysOnTheListActAsItsButtonsAndOnlyThere)
{
    // Enter loads the selected configuration into the fields as a click does.
    {
        ListWindow lw;
        lw.h.find<QTabWidget>("cxPCxzcz")->setCurrentIndex(1);
        lw.h.edit("cxTEIP")->clear();
        lw.select(1);
        lw.list()->setFocus();
        QTest::keyClick(lw.list(), Qt::Key_Return);
        EXPECT_TRUE(lw.h.edit("cxTEIP")->text().startsWith(QStringLiteral("10.2.")))
            << "record 2 in the fields";
        EXPECT_EQ(lw.h.find<QTabWidget>("cxPCxzcz")->currentIndex(), 0);
        lw.h.edit("cxTEIP")->clear();
        QTest::keyClick(lw.list(), Qt::Key_Enter, Qt::KeypadModifier);
        EXPECT_TRUE(lw.h.edit("cxTEIP")->text().startsWith(QStringLiteral("10.2.")));
        EXPECT_TRUE(lw.h.prompts.messages.empty());
    }
    // Delete asks as "删 除" does and removes that record.
    for (const bool yes : { false, true }) {
        SCOPED_TRACE(yes ? "Delete, Yes" : "Delete, No");
        ListWindow lw;
        const std::string before = lw.fileBytes();
        lw.h.prompts.yes = { yes };
        lw.select(2);
        QTest::keyClick(lw.list(), Qt::Key_Delete);
        EXPECT_EQ(lw.h.prompts.questions, std::vector<std::string> { "确实要删除\"Config2\"这条配置吗?" });
        if (yes)
            EXPECT_EQ(lw.captions().join('|'), QStringLiteral("家里|Office|车站"));
        else
            EXPECT_EQ(lw.fileBytes(), before);
    }
    // F2 opens the in-place editor as "更 名" does; Delete there edits the
    // name, and Delete in a text field edits the field: neither deletes.
    {
        ListWindow lw;
        const std::string before = lw.fileBytes();
        lw.select(1);
        QTest::keyClick(lw.list(), Qt::Key_F2);
        auto* editor = lw.list()->viewport()->findChild<QLineEdit*>();
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(editor->text(), QStringLiteral("Office"));
        editor->setCursorPosition(0);
        QTest::keyClick(editor, Qt::Key_Delete);
        EXPECT_EQ(editor->text(), QStringLiteral("ffice"));
        QLineEdit* ip = lw.h.edit("cxTEIP");
        ip->setText(QStringLiteral("10.0.0.1"));
        ip->setCursorPosition(0);
        QTest::keyClick(ip, Qt::Key_Delete);
        EXPECT_EQ(ip->text(), QStringLiteral("0.0.0.1"));
        EXPECT_TRUE(lw.h.prompts.questions.empty());
        EXPECT_EQ(lw.fileBytes(), before);
        EXPECT_EQ(lw.list()->count(), 4);
    }
    // Without a selection the keys say so as the buttons do.
    {
        ListWindow lw;
        QTest::keyClick(lw.list(), Qt::Key_Delete);
        QTest::keyClick(lw.list(), Qt::Key_F2);
        EXPECT_EQ(lw.h.prompts.messages,
            (std::vector<std::string> { "请先选中您想删除的配置!", "请先选中您想更名的配置!" }));
    }
}

TEST(ConfigList, MovesSwapNeighboursAndTheEndsStay)
{
    const struct {
        int row;
        const char* action;
        std::vector<std::string> ids;
        const char* captions;
    } cases[] = {
        { 2, "Moveup1", { "1", "3", "2", "4" }, "家里|Config1|Office|车站" },
        { 1, "Movedown1", { "1", "3", "2", "4" }, "家里|Config1|Office|车站" },
        { 0, "Moveup1", { "1", "2", "3", "4" }, "家里|Office|Config2|车站" },
        { 3, "Movedown1", { "1", "2", "3", "4" }, "家里|Office|Config2|车站" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.action) + " from " + std::to_string(c.row));
        ListWindow lw;
        lw.select(c.row);
        lw.action(c.action)->trigger();
        EXPECT_EQ(ids(lw.fileRecords()), c.ids);
        EXPECT_EQ(ids(lw.w->configTable().records), c.ids);
        EXPECT_EQ(lw.captions().join('|'), QString::fromUtf8(c.captions));
        EXPECT_TRUE(lw.list()->selectedItems().isEmpty()) << "a second move needs a new selection";
    }
}

TEST(ConfigList, RenameInPlaceStoresTheTrimmedNameWithoutARefresh)
{
    ListWindow lw;
    QListWidgetItem* item = lw.list()->item(1);
    lw.select(1);
    item->setText(QStringLiteral("  新办公室  ")); // what the in-place editor commits
    EXPECT_EQ(lw.fileRecords()[1][ConfigField::Name], "新办公室");
    EXPECT_EQ(item->text(), QStringLiteral("  新办公室  ")) << "shown as typed";
    EXPECT_EQ(lw.w->configTable().records[1][ConfigField::Name], "Office") << "no refresh";
    auto others = lw.fileRecords();
    others.erase(others.begin() + 1);
    auto expected = fourRecords();
    expected.erase(expected.begin() + 1);
    EXPECT_EQ(others, expected);

    // Blanks only: the caption comes back and the file stays as it is.
    const std::string before = lw.fileBytes();
    item->setText(QStringLiteral("   "));
    EXPECT_EQ(item->text(), QStringLiteral("  新办公室  "));
    EXPECT_EQ(lw.fileBytes(), before);

    // "更 名" opens the in-place editor on the selected item.
    lw.h.click("cxBRenamecfg");
    auto* editor = lw.list()->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), QStringLiteral("  新办公室  "));
}

TEST(ConfigList, IconToggleStoresTheSizeAndSwitchesTheView)
{
    ListWindow lw;
    for (const char* expected : { "1", "0", "1" }) {
        lw.action("N2")->trigger();
        EXPECT_EQ(lw.h.get(settings::kIconSize), expected);
        const bool large = std::string_view(expected) == "0";
        EXPECT_EQ(lw.list()->iconSize(), large ? QSize(32, 32) : QSize(16, 16));
    }
}

// Another program changes the file after the list was filled: no operation
// may act on whatever record now sits at the listed position.
TEST(ConfigList, AFileChangedSinceTheRefreshLosesNothing)
{
    const std::function<void(ListWindow&)> operations[] = {
        [](ListWindow& lw) { lw.action("Delete1")->trigger(); },
        [](ListWindow& lw) { lw.action("Moveup1")->trigger(); },
        [](ListWindow& lw) { lw.action("Movedown1")->trigger(); },
        [](ListWindow& lw) { lw.list()->item(1)->setText(QStringLiteral("renamed")); },
    };
    for (std::size_t op = 0; op < std::size(operations); ++op) {
        SCOPED_TRACE(op);
        ListWindow lw;
        lw.h.prompts.yes = { true };
        auto now = fourRecords();
        now.insert(now.begin(), sampleRecord("9", "别处加的"));
        writeBytes(lw.h.configFile(), configFileBytes("9", now));
        const std::string before = lw.fileBytes();
        lw.select(1);
        operations[op](lw);
        EXPECT_EQ(lw.fileBytes().substr(0, 60), before.substr(0, 60));
        EXPECT_EQ(lw.fileRecords(), now) << "every record in place";
        EXPECT_EQ(lw.h.prompts.count(kFileChanged), 1);
        EXPECT_EQ(lw.w->configTable().records, now) << "the list was refreshed";
    }
}

namespace
{

// Runs "保 存" with `inDialog` acting on the dialog while it is open.
void saveWith(ListWindow& lw, const std::function<void(TFSaveConfig&)>& inDialog)
{
    QTimer::singleShot(0, lw.w, [&] {
        TFSaveConfig* d = lw.w->saveDialog();
        ASSERT_NE(d, nullptr);
        ASSERT_TRUE(d->isVisible());
        inDialog(*d);
        if (d->isVisible())
            d->cxBcloseClick();
    });
    lw.h.click("cxBSave");
}

template <typename T> T* in(TFSaveConfig& d, const char* name)
{
    return d.findChild<T*>(QString::fromLatin1(name));
}

} // namespace

TEST(SaveDialog, NewConfigurationIsAppendedWithTheNextId)
{
    ListWindow lw;
    lw.h.edit("cxTEIP")->setText("  192.0.2.77  ");
    saveWith(lw, [](TFSaveConfig& d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("保存配置"));
        EXPECT_TRUE(in<QRadioButton>(d, "cxRBnewconfig")->isChecked());
        EXPECT_FALSE(in<QComboBox>(d, "cxCBoldconfig")->isEnabled());
        EXPECT_EQ(in<QComboBox>(d, "cxCBoldconfig")->count(), 4);
        EXPECT_EQ(in<QComboBox>(d, "cxCBoldconfig")->itemText(2), QStringLiteral("Config2"));
        in<QLineEdit>(d, "cxTEnewconfig")->setText(QStringLiteral("  机场  "));
        QTest::mouseClick(in<QPushButton>(d, "cxBsave"), Qt::LeftButton);
        EXPECT_FALSE(d.isVisible());
    });
    EXPECT_EQ(lw.h.prompts.messages, std::vector<std::string> { "配置[机场]保存成功!" });
    const auto records = lw.fileRecords();
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(records[4][ConfigField::Id], "5");
    EXPECT_EQ(records[4][ConfigField::Name], "机场");
    EXPECT_EQ(records[4][ConfigField::Ip1], "192.0.2.77");
    EXPECT_EQ(std::vector<ConfigRecord>(records.begin(), records.begin() + 4), fourRecords());
    EXPECT_EQ(lw.captions().last(), QStringLiteral("机场")) << "refreshed after OK";
}

TEST(SaveDialog, OverwriteKeepsThePlaceAndTheIdAndPreselectsTheFirstEqualCaption)
{
    auto records = fourRecords();
    records[3][ConfigField::Name] = "OFFICE";
    ListWindow lw(records);
    lw.select(3); // "OFFICE": the first equal caption is "Office" at 1
    lw.h.edit("cxTEIP")->setText("10.9.9.9");
    saveWith(lw, [](TFSaveConfig& d) {
        auto* box = in<QComboBox>(d, "cxCBoldconfig");
        EXPECT_EQ(box->currentIndex(), 1);
        QTest::mouseClick(in<QRadioButton>(d, "cxRBoldconfig"), Qt::LeftButton);
        EXPECT_TRUE(box->isEnabled());
        EXPECT_FALSE(in<QLineEdit>(d, "cxTEnewconfig")->isEnabled());
        box->setCurrentIndex(2); // "Config2", empty name
        d.cxBsaveClick();
    });
    EXPECT_EQ(lw.h.prompts.messages, std::vector<std::string> { "配置[Config2]保存成功!" });
    const auto now = lw.fileRecords();
    ASSERT_EQ(now.size(), 4u);
    // Quick-switch files made for it still find it.
    EXPECT_EQ(now[2][ConfigField::Id], "3");
    EXPECT_NE(lw.fileBytes().find("LastID=\"4\""), std::string::npos) << "no ID handed out";
    EXPECT_EQ(now[2][ConfigField::Name], "Config2");
    EXPECT_EQ(now[2][ConfigField::Ip1], "10.9.9.9");
    for (std::size_t i : { 0u, 1u, 3u })
        EXPECT_EQ(now[i], records[i]) << i;
}

TEST(SaveDialog, CancelAndAnOverwriteWithNothingChosenWriteNothing)
{
    ListWindow lw;
    const std::string before = lw.fileBytes();
    saveWith(lw, [](TFSaveConfig& d) {
        in<QLineEdit>(d, "cxTEnewconfig")->setText(QStringLiteral("typed"));
        QTest::mouseClick(in<QPushButton>(d, "cxBclose"), Qt::LeftButton);
    });
    EXPECT_EQ(lw.fileBytes(), before);
    EXPECT_TRUE(lw.h.prompts.messages.empty());

    TFSaveConfig* first = lw.w->saveDialog();
    saveWith(lw, [](TFSaveConfig& d) {
        EXPECT_TRUE(in<QLineEdit>(d, "cxTEnewconfig")->text().isEmpty()) << "each showing starts afresh";
        EXPECT_EQ(in<QComboBox>(d, "cxCBoldconfig")->currentIndex(), -1) << "nothing selected in the list";
        QTest::mouseClick(in<QRadioButton>(d, "cxRBoldconfig"), Qt::LeftButton);
        d.cxBsaveClick();
        EXPECT_TRUE(d.isVisible()) << "stays open to let the user choose";
    });
    EXPECT_EQ(lw.w->saveDialog(), first) << "made once";
    EXPECT_EQ(lw.h.prompts.messages.size(), 1u);
    EXPECT_EQ(lw.fileBytes(), before);
}

TEST(ConfigList, ARebuildKeepsTheUserWhereTheyWere)
{
    std::vector<ConfigRecord> many;
    for (int i = 1; i <= 80; ++i)
        many.push_back(sampleRecord(std::to_string(i), "配置" + std::to_string(i)));
    ListWindow lw(many);
    QScrollBar* bar = lw.list()->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0) << "the list scrolls";
    bar->setValue(bar->maximum() / 2);
    const int where = bar->value();
    lw.h.prompts.yes = { true };
    lw.select(40);
    lw.action("Delete1")->trigger();
    ASSERT_EQ(lw.list()->count(), 79);
    EXPECT_EQ(bar->value(), where);
    lw.action("Refresh1")->trigger();
    EXPECT_EQ(bar->value(), where);
}

namespace
{

// The four configurations in a file of its own folder, which a test may make
// read-only without touching config.ini.
struct FolderWindow {
    Harness h;
    fs::path folder;
    fs::path file;
    TFmain* w = nullptr;

    explicit FolderWindow(const std::string& name = "config.xml")
    {
        h.prepare();
        folder = h.dir / "store";
        fs::create_directory(folder);
        file = folder / name;
        writeBytes(file, configFileBytes("4", fourRecords()));
        settings::writeConfigFile(h.registry, file.string());
        w = &h.start();
    }
    ~FolderWindow() { ::chmod(folder.c_str(), 0755); }
};

void saveNewWith(Harness& h, TFmain& w, const std::function<void(TFSaveConfig&)>& inDialog)
{
    QTimer::singleShot(0, &w, [&] {
        TFSaveConfig* d = w.saveDialog();
        ASSERT_NE(d, nullptr);
        inDialog(*d);
        if (d->isVisible())
            QTest::mouseClick(in<QPushButton>(*d, "cxBclose"), Qt::LeftButton);
    });
    h.click("cxBSave");
}

} // namespace

// A save the file system refuses is reported in Chinese, naming the file; the
// dialog stays open, cancel closes it, and the window goes on working.
TEST(SaveDialog, AFailedSaveIsReportedAndTheProgramGoesOn)
{
    const struct {
        const char* what;
        std::string name;
        bool readOnlyFolder;
    } cases[] = {
        { "read-only folder", "config.xml", true },
        // The temporary file beside a name this long cannot be named, also for root.
        { "write fails", std::string(250, 'c') + ".xml", false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FolderWindow fw(c.name);
        // Listed although the refresh could not renew the file's stamp.
        EXPECT_EQ(fw.w->configTable().records, fourRecords());
        EXPECT_TRUE(fw.h.prompts.messages.empty());
        if (c.readOnlyFolder)
            ::chmod(fw.folder.c_str(), 0555);
        const std::string before = readBytes(fw.file);
        bool stayedOpen = false;
        saveNewWith(fw.h, *fw.w, [&](TFSaveConfig& d) {
            in<QLineEdit>(d, "cxTEnewconfig")->setText(QStringLiteral("机场"));
            QTest::keyClick(in<QLineEdit>(d, "cxTEnewconfig"), Qt::Key_Return);
            stayedOpen = d.isVisible();
        });
        EXPECT_TRUE(stayedOpen);
        const std::string expected = c.readOnlyFolder
            ? msg::configFolderReadOnly(fw.file.string())
            : msg::cannotWriteFile(fw.file.string(), std::make_error_code(std::errc::filename_too_long));
        EXPECT_EQ(fw.h.prompts.messages, std::vector<std::string> { expected });
        EXPECT_EQ(readBytes(fw.file), before);
        ASSERT_FALSE(fw.w->saveDialog()->isVisible());
        EXPECT_TRUE(fw.w->isVisible());
        EXPECT_EQ(fw.w->configTable().records, fourRecords());
        // Still answering: the list's refresh works.
        fw.h.find<QAction>("Refresh1")->trigger();
        EXPECT_EQ(fw.w->configTable().count(), 4u);
    }
}

// A configuration file marked read-only is left as it is: the rename is
// refused with a message and the list keeps the old name.
TEST(ConfigList, ARenameOfAReadOnlyFileIsRefusedAndUndoneOnScreen)
{
    FolderWindow fw;
    ::chmod(fw.file.c_str(), 0444);
    const std::string before = readBytes(fw.file);
    QListWidget* list = fw.h.find<QListWidget>("cxLVconfig");
    list->item(1)->setText(QStringLiteral("新办公室"));
    EXPECT_EQ(fw.h.prompts.messages, std::vector<std::string> { msg::configFileReadOnly(fw.file.string()) });
    EXPECT_EQ(list->item(1)->text(), QStringLiteral("Office"));
    EXPECT_EQ(readBytes(fw.file), before);
    struct stat st {
    };
    ASSERT_EQ(::stat(fw.file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
}

// A configuration file deleted while the window runs: the window says so and
// offers to write the listed configurations to a file of the user's choice,
// which it then uses.
TEST(ConfigList, AFileGoneUnderTheWindowCanBeSavedElsewhere)
{
    const struct {
        const char* what;
        std::function<void(ListWindow&)> operation;
        int questionsBefore; // asked before the offer
    } cases[] = {
        { "move", [](ListWindow& lw) { lw.select(1), lw.action("Moveup1")->trigger(); }, 0 },
        { "delete", [](ListWindow& lw) { lw.select(1), lw.action("Delete1")->trigger(); }, 1 },
        { "refresh", [](ListWindow& lw) { lw.action("Refresh1")->trigger(); }, 0 },
        { "save",
            [](ListWindow& lw) {
                saveWith(lw, [](TFSaveConfig& d) {
                    in<QLineEdit>(d, "cxTEnewconfig")->setText(QStringLiteral("x"));
                    d.cxBsaveClick();
                });
            },
            0 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ListWindow lw;
        const std::string gone = lw.h.configFile();
        const std::string rescued = (lw.h.dir / "rescued.xml").string();
        fs::remove(gone);
        lw.h.prompts.yes.assign(static_cast<std::size_t>(c.questionsBefore) + 1, true);
        lw.h.prompts.answers = { rescued };
        c.operation(lw);
        EXPECT_EQ(lw.h.prompts.count(msg::configFileGone(gone)), 1);
        ASSERT_EQ(lw.h.prompts.questions.size(), static_cast<std::size_t>(c.questionsBefore) + 1);
        EXPECT_EQ(lw.h.prompts.asked, 1);
        EXPECT_EQ(tarnwick::test::listed(rescued).records, fourRecords()) << "as the list showed them";
        EXPECT_EQ(lw.w->configFilePath(), rescued);
        EXPECT_EQ(lw.h.get(settings::kConfigFile), rescued);
        EXPECT_EQ(lw.captions().size(), 4);
        EXPECT_FALSE(fs::exists(gone)) << "the operation itself did nothing";
    }
}
