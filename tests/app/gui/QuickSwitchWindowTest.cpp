// Quick-switching from the window: export to the desktop, the launcher box,
// the file type at start, opening a quick-switch file and the tray's menu.
#include "GuiHarness.h"
#include "StoreTestUtil.h"

#include "base/AtomicFile.h"
#include "base/TRegistry.h"
#include "shortcuts/QuickSwitchFile.h"

#include <QImage>

using namespace tarnwick;
using namespace tarnwick::gui;
using namespace tarnwick::test;

namespace
{

constexpr const char* kExported
    = "该配置的快捷方式已经保存到桌面，您可以通过双击该快捷方式来快速切换IP配置。";

// Three configurations with IDs 1 to 3, the third without a name.
// A sample record whose masks are masks, so that a switch to it runs.
ConfigRecord switchable(const std::string& id, const std::string& name)
{
    ConfigRecord r = sampleRecord(id, name);
    for (ConfigField mask : { ConfigField::Mask1, ConfigField::Mask2, ConfigField::Mask3 })
        r[mask] = "255.0.0.0";
    return r;
}

void prepareThree(Harness& h)
{
    h.prepare();
    writeBytes(h.configFile(),
        configFileBytes("3", { switchable("1", "家里"), switchable("2", "Office"), switchable("3", "") }));
}

std::vector<std::string> desktopFiles(Harness& h)
{
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(h.home.desktop(), ec))
        out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace

TEST(QuickSwitchExport, WritesTheFileForTheSelectedCaptionAndAdapter)
{
    Harness h;
    prepareThree(h);
    TFmain& w = h.start();
    auto* list = h.find<QListWidget>("cxLVconfig");
    auto* adapters = h.find<QComboBox>("cxCBAdapters");
    const struct {
        int row;
        int adapter;
        const char* file;
        const char* cfgId;
        const char* cardId;
    } cases[] = {
        { 1, 1, "切换到[Office].twk", "2", "1" },
        { 2, 0, "切换到[Config2].twk", "3", "0" }, // no name: the list's caption
        { 1, -1, "切换到[Office].twk", "2", "-1" }, // no adapter; the second export wins
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        h.prompts.messages.clear();
        adapters->setCurrentIndex(c.adapter);
        list->setCurrentRow(c.row);
        h.find<QAction>("Nshortcut")->trigger();
        EXPECT_EQ(h.prompts.messages, std::vector<std::string> { kExported });
        EXPECT_EQ(readWholeFile(h.home.desktop() / c.file),
            std::string("<?xml version=\"1.0\" encoding=\"GB2312\"?>\n<SkiffnetQuickSwitch CfgID=\"")
                + c.cfgId + "\" CardID=\"" + c.cardId + "\"/>\n");
    }
    EXPECT_EQ(desktopFiles(h), (std::vector<std::string> { "切换到[Config2].twk", "切换到[Office].twk" }));

    // Nothing selected, or a caption no file may be named after: no file.
    list->clearSelection();
    h.prompts.messages.clear();
    h.find<QAction>("Nshortcut")->trigger();
    EXPECT_EQ(h.prompts.messages, std::vector<std::string> { "请选择您要导出到桌面快捷方式的历史配置。" });
    list->item(0)->setText(QStringLiteral("家/办公室")); // renamed in place
    list->setCurrentRow(0);
    h.prompts.messages.clear();
    h.find<QAction>("Nshortcut")->trigger();
    ASSERT_EQ(h.prompts.messages.size(), 1u);
    EXPECT_NE(h.prompts.messages[0].find("“/”"), std::string::npos) << h.prompts.messages[0];
    EXPECT_EQ(desktopFiles(h).size(), 2u);
    (void)w;
}

TEST(QuickSwitchExport, TheDesktopIsTheOneUserDirsNames)
{
    Harness h;
    prepareThree(h);
    fs::create_directories(h.home.configHome());
    std::ofstream(h.home.configHome() / "user-dirs.dirs") << "XDG_DESKTOP_DIR=\"$HOME/桌面\"\n";
    h.start();
    h.find<QListWidget>("cxLVconfig")->setCurrentRow(0);
    h.find<QAction>("Nshortcut")->trigger();
    EXPECT_TRUE(fs::exists(h.home.home() / "桌面" / "切换到[家里].twk"));
}

TEST(Launcher, TheBoxKeepsTheLauncherOnTheDesktopAndStoresItsState)
{
    Harness h;
    prepareThree(h);
    h.set(settings::kShortcut, "1");
    h.start();
    const fs::path launcher = h.home.desktop() / "Tarnwick.desktop";
    ASSERT_TRUE(fs::exists(launcher)) << "written at start while the option is on";
    EXPECT_NE(readWholeFile(launcher).find("Exec=\"" + QCoreApplication::applicationFilePath().toStdString()),
        std::string::npos);
    EXPECT_TRUE(h.prompts.messages.empty()) << "silently";

    auto* box = h.find<QCheckBox>("cxCBshotcut");
    box->click();
    EXPECT_FALSE(fs::exists(launcher));
    EXPECT_EQ(h.prompts.messages, std::vector<std::string> { "删除[Tarnwick]快捷方式成功" });
    EXPECT_EQ(h.get(settings::kShortcut), "0");
    box->click();
    EXPECT_TRUE(fs::exists(launcher));
    EXPECT_EQ(h.get(settings::kShortcut), "1");
    fs::remove(launcher);
    box->click();
    EXPECT_EQ(h.prompts.messages.back(), "文件不存在");
    EXPECT_EQ(h.get(settings::kShortcut), "0");
}

TEST(FileType, EveryStartRegistersItAndAnOrdinaryStartWritesNothing)
{
    Harness h;
    prepareThree(h);
    h.start();
    const fs::path entry = h.home.dataHome() / "applications/tarnwick.desktop";
    ASSERT_TRUE(fs::exists(entry));
    EXPECT_TRUE(fs::exists(h.home.dataHome() / "mime/packages/tarnwick-quickswitch.xml"));
    // Drawn at the size of its folder, not a smaller picture under its name.
    const QImage icon(
        QString::fromStdString((h.home.dataHome() / "icons/hicolor/256x256/apps/tarnwick.png").string()));
    EXPECT_EQ(icon.size(), QSize(256, 256));
    EXPECT_EQ(h.toolsRun.size(), 2u);
    TRegistry reg(h.registry);
    reg.SetRootKey(RegRoot::ClassesRoot);
    ASSERT_TRUE(reg.OpenKeyReadOnly("twk_Auto_File\\shell\\open\\command"));
    EXPECT_EQ(reg.ReadString(""), QCoreApplication::applicationFilePath().toStdString() + " %1");

    const auto written = fs::last_write_time(entry);
    h.start();
    EXPECT_EQ(h.toolsRun.size(), 2u) << "no database update without a change";
    EXPECT_EQ(fs::last_write_time(entry), written);
}

TEST(QuickSwitchOpen, AFileSwitchesToItsConfigurationOnTheGivenAdapter)
{
    Harness h;
    prepareThree(h);
    fs::create_directories(h.home.desktop());
    const fs::path file = h.home.desktop() / "switch.twk";
    writeQuickSwitchFile(file, "2", 1);
    // Handed over at start: acted on once the window has been shown.
    TFmain& w = h.start(
        [&](TFmain& window) { window.quickSwitchRequested(QString::fromStdString(file.string())); });
    QTRY_VERIFY(w.applyWindow() && w.applyWindow()->isVisible());
    QTRY_VERIFY(!w.applyWindow()->running());
    EXPECT_EQ(h.find<QComboBox>("cxCBAdapters")->currentIndex(), 1);
    EXPECT_EQ(h.edit("cxTEIP")->text(), QStringLiteral("10.2.2.1"));
    ASSERT_FALSE(h.runner.ran.empty());
    EXPECT_NE(h.runner.ran[0].find("addr=\"10.2.2.1\""), std::string::npos) << h.runner.ran[0];
    EXPECT_TRUE(h.prompts.messages.empty());
}

TEST(QuickSwitchOpen, FilesThatCannotSwitchSaySoAndChangeNothing)
{
    Harness h;
    prepareThree(h);
    TFmain& w = h.start();
    fs::create_directories(h.home.desktop());
    const fs::path gone = h.home.desktop() / "gone.twk";
    writeQuickSwitchFile(gone, "99", 0);
    const fs::path notOurs = h.home.desktop() / "other.twk";
    std::ofstream(notOurs) << "<?xml version=\"1.0\"?><html/>";
    const fs::path missing = h.home.desktop() / "missing.twk";
    const struct {
        const fs::path* file;
        const char* says;
    } cases[] = { { &gone, "ID 99" }, { &notOurs, "根元素" }, { &missing, "不是可读的快速切换文件" } };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file->string());
        h.prompts.messages.clear();
        w.quickSwitchRequested(QString::fromStdString(c.file->string()));
        QCoreApplication::processEvents();
        ASSERT_EQ(h.prompts.messages.size(), 1u);
        EXPECT_NE(h.prompts.messages[0].find(c.says), std::string::npos) << h.prompts.messages[0];
        EXPECT_NE(h.prompts.messages[0].find(c.file->string()), std::string::npos) << "names the file";
        EXPECT_TRUE(h.runner.ran.empty());
        EXPECT_FALSE(w.applyWindow() && w.applyWindow()->isVisible());
    }
}

TEST(QuickSwitchTray, TheSwitchMenuListsTheConfigurationsAndSwitches)
{
    Harness h;
    prepareThree(h);
    TFmain& w = h.start();
    QStringList shown;
    for (QAction* a : w.switchMenu()->actions())
        shown << a->text();
    EXPECT_EQ(shown.join('|'), QStringLiteral("家里|Office|Config2"));
    w.switchMenu()->actions().at(0)->trigger();
    QTRY_VERIFY(w.applyWindow() && w.applyWindow()->isVisible());
    QTRY_VERIFY(!w.applyWindow()->running());
    ASSERT_FALSE(h.runner.ran.empty());
    EXPECT_NE(h.runner.ran[0].find("addr=\"10.1.2.1\""), std::string::npos) << h.runner.ran[0];
}
