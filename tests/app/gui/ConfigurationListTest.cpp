// The configuration list as every showing fills it.
#include "GuiHarness.h"

using namespace tarnwick;
using namespace tarnwick::gui;
using namespace tarnwick::test;

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
    EXPECT_EQ(h.prompts.messages, std::vector<std::string> { msg::configFileGone(h.configFile()) });
    EXPECT_EQ(h.prompts.questions.size(), 1u) << "offered to save the list elsewhere; declined";
    EXPECT_EQ(h.prompts.asked, 0);
    EXPECT_EQ(captions(h).size(), 3);

    useFixture(h, "config-empty-box.xml");
    h.find<QAction>("Refresh1")->trigger();
    EXPECT_EQ(captions(h).size(), 0);

    // Every showing reloads the list from the file.
    useFixture(h, "config-sample.xml");
    trayChoice(w, "N4"); // "隐藏窗体"
    trayChoice(w, "N3"); // "显示窗体"
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
