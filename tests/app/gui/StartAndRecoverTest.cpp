// Where the window finds its configuration file whatever folder it was started
// from, what the general error handler does with an error no handler caught,
// and what "返 回" leaves in the fields after a switch.
#include "GuiHarness.h"
#include "StoreTestUtil.h"

#include "app/gui/GuardedApplication.h"

#include <stdexcept>

using namespace tarnwick;
using namespace tarnwick::gui;
using namespace tarnwick::test;

TEST(ConfigFileAtStart, ARelativeSettingIsTakenFromTheSettingsFolder)
{
    const struct {
        const char* what;
        std::string stored; // "" = first start
        std::string expected; // within the settings folder
        bool fileThere;
        bool asked; // the not-found message and the save dialog
    } cases[] = {
        // The first start makes an empty file there, without asking.
        { "first start", "", "config.xml", false, false },
        // A stored name whose file has gone is asked for, the default too:
        // an empty list in its place would look like lost configurations.
        { "default name, file gone", "config.xml", "", false, true },
        { "default name", "config.xml", "config.xml", true, false },
        { "relative name", "sub/office.xml", "sub/office.xml", true, false },
        // A file the user chose that has gone is asked for, as before.
        { "chosen file gone", "sub/gone.xml", "", false, true },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Harness h;
        settings::writeSkin(h.ini(), "Valentine");
        h.settingsFolder = h.dir / "settings";
        if (!c.stored.empty())
            h.set(settings::kConfigFile, c.stored);
        if (c.fileThere) {
            fs::create_directories((h.settingsFolder / c.expected).parent_path());
            writeBytes(h.settingsFolder / c.expected, configFileBytes("1", { sampleRecord("1", "家里") }));
        }

        TFmain& w = h.start();
        if (c.asked) {
            EXPECT_EQ(h.prompts.count(kConfigNotFound), 1);
            EXPECT_EQ(h.prompts.asked, 1);
            continue;
        }
        EXPECT_TRUE(h.prompts.messages.empty()) << h.prompts.messages.front();
        EXPECT_EQ(h.prompts.asked, 0);
        const fs::path expected = h.settingsFolder / c.expected;
        EXPECT_EQ(w.configFilePath(), expected.string());
        ASSERT_TRUE(fs::exists(expected));
        EXPECT_EQ(w.configTable().count(), c.fileThere ? 1u : 0u);
        EXPECT_TRUE(w.isVisible());
        // The stored text stays what it was: the next start resolves it again.
        EXPECT_EQ(h.get(settings::kConfigFile), c.stored.empty() ? "config.xml" : c.stored);
    }
}

namespace
{

class Thrower : public QObject
{
public:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User)
            throw std::runtime_error("无法写入文件“x”：没有写入权限。");
        return QObject::event(e);
    }
};

} // namespace

TEST(GeneralErrorHandler, AnErrorNoHandlerCaughtIsShownAndTheProgramGoesOn)
{
    auto* app = qobject_cast<GuardedApplication*>(QCoreApplication::instance());
    ASSERT_NE(app, nullptr);
    ScriptedPrompts shown;
    app->setErrorSink(&shown);
    Thrower t;
    QCoreApplication::postEvent(&t, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    EXPECT_EQ(shown.messages, std::vector<std::string> { "无法写入文件“x”：没有写入权限。" });
    EXPECT_EQ(shown.kinds, std::vector<MessageSink::Kind> { MessageSink::Kind::Error });

    // The loop runs on: the next event is delivered as usual.
    bool later = false;
    QTimer::singleShot(0, [&] { later = true; });
    QTRY_VERIFY(later);
    app->setErrorSink(nullptr);
}

// "返 回" after a switch that failed keeps what the user typed; after one
// that succeeded the fields show the adapter again.
TEST(ApplyWindow, BackAfterAFailedSwitchKeepsTheFields)
{
    for (const int exitStatus : { 1, 0 }) {
        SCOPED_TRACE(exitStatus);
        Harness h;
        h.prepare();
        TFmain& w = h.start();
        h.edit("cxTEIP")->setText(QStringLiteral("192.0.2.99"));
        h.runner.exitStatus = exitStatus;
        h.click("cxBApply");
        TFApply* a = w.applyWindow();
        ASSERT_NE(a, nullptr);
        QTRY_VERIFY(!a->running());
        ASSERT_TRUE(a->lastOutcome());
        EXPECT_EQ(*a->lastOutcome() == ApplySequence::Outcome::Done, exitStatus == 0);
        QTest::mouseClick(a->findChild<QPushButton*>(QStringLiteral("cxBback")), Qt::LeftButton);
        QCoreApplication::processEvents();
        ASSERT_TRUE(w.isVisible());
        EXPECT_EQ(h.edit("cxTEIP")->text(),
            exitStatus ? QStringLiteral("192.0.2.99") : QStringLiteral("192.0.2.23"));

        // Only the showing right after: the next one reloads as usual.
        trayChoice(w, "N4"); // "隐藏窗体"
        trayChoice(w, "N3"); // "显示窗体"
        QCoreApplication::processEvents();
        EXPECT_EQ(h.edit("cxTEIP")->text(), QStringLiteral("192.0.2.23"));
    }
}
