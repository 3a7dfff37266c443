// The dial-up page on the real window over a scripted dial-up service:
// entries kept in config.ini, the line list, dial and hang-up.
#include "GuiHarness.h"

#include "base/AtomicFile.h"
#include "base/TIniFile.h"
#include "dialup/gui/DialUpPage.h"
#include "dialup/linux/PppdBackend.h"

#include <QTabWidget>

#include <chrono>
#include <cstdlib>
#include <grp.h>
#include <sys/stat.h>

using namespace tarnwick;
using namespace tarnwick::gui;
using namespace tarnwick::test;

namespace
{

class ScriptedService : public DialBackend
{
public:
    int dialError = 0;
    std::vector<std::string> stored;
    int hangUpPasses = 0;
    bool installed() const override { return true; }
    std::optional<std::vector<std::string>> entries() const override
    {
        return std::vector<std::string> { "dsl", "modem" };
    }
    std::optional<std::vector<Connection>> connections() const override
    {
        ++const_cast<ScriptedService*>(this)->hangUpPasses;
        return std::vector<Connection> {};
    }
    void hangUp(const Connection&) override { }
    int readDialParams(const std::string&) override { return 0; }
    int storeCredentials(const std::string& e, const std::string& u, const std::string& p) override
    {
        stored = { e, u, p };
        return 0;
    }
    int dial(const std::string&, Notifier) override { return dialError; }
    std::string errorText(int code) const override { return "error " + std::to_string(code); }
};

struct DialPage {
    Harness h;
    ScriptedService* service = new ScriptedService;
    TFmain* w = nullptr;
    DialUpPage* page = nullptr;

    DialPage()
    {
        h.prepare();
        // config.ini is in the system's Chinese encoding: written through its own service.
        TIniFile ini(h.ini());
        ini.WriteString("家里", "Syhm", "ann");
        ini.WriteString("家里", "Smm", "pw1");
        ini.WriteString("MySetting x", "Syhm", "x");
        ini.WriteString("办公", "Syhm", "bob");
        h.dm.useDialBackend(std::unique_ptr<DialBackend>(service));
        w = &h.start();
        page = h.find<DialUpPage>("cxTSbohao");
        h.find<QTabWidget>("cxPCxzcz")->setCurrentIndex(1); // "拨 号"
    }
    QStringList listed()
    {
        QStringList out;
        auto* list = h.find<QListWidget>("cxLVbohao");
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    }
    void select(int row)
    {
        auto* list = h.find<QListWidget>("cxLVbohao");
        QTest::mouseClick(
            list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    }
};

} // namespace

TEST(DialUpPage, ThePageChangeListsTheEntriesAndTheLines)
{
    DialPage p;
    EXPECT_EQ(p.listed().join('|'), QStringLiteral("家里|办公")) << "no section naming \"setting\"";
    auto* lines = p.h.find<QComboBox>("cxCBljxl");
    ASSERT_EQ(lines->count(), 2);
    EXPECT_EQ(lines->itemText(0), QStringLiteral("dsl"));
    EXPECT_FALSE(p.h.enabled("cxTEbhm"));

    p.select(1);
    EXPECT_EQ(p.h.edit("cxTEbhm")->text(), QStringLiteral("办公"));
    EXPECT_EQ(p.h.edit("cxTEyhm")->text(), QStringLiteral("bob"));
    EXPECT_EQ(p.h.edit("cxTEmm")->text(), QStringLiteral("0")) << "a missing \"Smm\" reads as 0";
    EXPECT_FALSE(p.h.enabled("cxTEbhm"));
}

TEST(DialUpPage, SaveReplacesAnEntryAndWritesNothingWithAFieldEmpty)
{
    DialPage p;
    p.h.click("cxBtj");
    EXPECT_TRUE(p.h.enabled("cxTEbhm"));
    p.h.edit("cxTEbhm")->setText(QStringLiteral("家里"));
    p.h.edit("cxTEyhm")->setText(QStringLiteral("ann2"));
    p.h.edit("cxTEmm")->setText(QStringLiteral("pw2"));
    p.h.click("cxBbc");
    EXPECT_EQ(p.h.prompts.messages, std::vector<std::string> { "配置信息保存成功!" });
    EXPECT_EQ(p.listed().join('|'), QStringLiteral("家里|办公")) << "replaced, not added";
    const TIniFile ini(p.h.ini());
    EXPECT_EQ(ini.ReadString("家里", "Syhm", ""), "ann2");
    EXPECT_EQ(ini.ReadString("家里", "Smm", ""), "pw2");

    const std::string before = readWholeFile(p.h.ini());
    p.h.prompts.messages.clear();
    p.h.edit("cxTEyhm")->clear();
    p.h.click("cxBbc");
    EXPECT_EQ(p.h.prompts.messages, std::vector<std::string> { "配置信息不存在!" });
    EXPECT_EQ(p.h.prompts.titles.back(), "系统警告");
    EXPECT_EQ(readWholeFile(p.h.ini()), before);
}

TEST(DialUpPage, DeleteErasesTheNamedEntryAfterOk)
{
    DialPage p;
    p.select(0);
    p.h.prompts.yes = { false, true };
    QAction* remove = p.w->findChild<QAction*>(QStringLiteral("N5"));
    remove->trigger(); // Cancel
    EXPECT_EQ(p.listed().join('|'), QStringLiteral("家里|办公"));
    remove->trigger(); // OK
    EXPECT_EQ(p.h.prompts.questions,
        (std::vector<std::string> { "您真的要删除这个字节吗？", "您真的要删除这个字节吗？" }));
    EXPECT_EQ(p.h.prompts.answerKinds.back(), UserPrompts::Answers::OkCancel);
    EXPECT_EQ(p.listed().join('|'), QStringLiteral("办公"));
    EXPECT_EQ(TIniFile(p.h.ini()).ReadString("家里", "Syhm", "gone"), "gone");
    EXPECT_TRUE(p.h.enabled("cxTEbhm")) << "emptied and enabled, as after 添 加";
    EXPECT_TRUE(p.h.edit("cxTEyhm")->text().isEmpty());
}

TEST(DialUpPage, DialChecksItsFieldsAndOnlyHangUpEnablesItAgain)
{
    DialPage p;
    p.h.click("cxBbohao");
    EXPECT_EQ(p.h.prompts.messages, std::vector<std::string> { "请输入拨号的用户名!" });
    EXPECT_FALSE(p.h.enabled("cxBbohao")) << "disabled until 断 开";
    p.h.click("cxBdk");
    EXPECT_TRUE(p.h.enabled("cxBbohao"));
    EXPECT_EQ(p.w->lastBalloon(), "提示|当前没有拨号连接，无需断开。") << "nothing was connected";

    p.select(0);
    p.h.find<QComboBox>("cxCBljxl")->setCurrentIndex(0);
    p.service->hangUpPasses = 0;
    p.h.click("cxBbohao");
    EXPECT_EQ(p.service->stored, (std::vector<std::string> { "dsl", "ann", "pw1" }));
    EXPECT_EQ(p.service->hangUpPasses, 14) << "the page's hang-up and the dial's own";
    EXPECT_EQ(p.w->lastBalloon(), "提示|当前没有拨号连接，无需断开。") << "accepted is not connected";

    // A dial the service refuses says why.
    p.h.click("cxBdk");
    p.service->dialError = 633;
    p.h.prompts.messages.clear();
    p.h.click("cxBbohao");
    EXPECT_EQ(p.w->lastBalloon(), "提示|拨号失败!error 633");
    EXPECT_EQ(p.h.prompts.messages, std::vector<std::string> { "拨号失败!error 633" })
        << "no notification area here: a message box";
    EXPECT_FALSE(p.h.enabled("cxBbohao"));
}

TEST(DialUpPage, AFileThatCannotBeWrittenIsReportedInChineseFromTheHandler)
{
    DialPage p;
    // config.ini is there but cannot be replaced: a folder of that name.
    fs::remove(p.h.ini());
    fs::create_directory(p.h.ini());
    p.h.click("cxBtj");
    p.h.edit("cxTEbhm")->setText(QStringLiteral("家里"));
    p.h.edit("cxTEyhm")->setText(QStringLiteral("ann"));
    p.h.edit("cxTEmm")->setText(QStringLiteral("pw"));
    p.h.click("cxBbc");
    ASSERT_EQ(p.h.prompts.messages.size(), 1u);
    EXPECT_TRUE(
        p.h.prompts.messages[0].starts_with("保存拨号配置失败：无法写入配置文件 " + p.h.ini().string()))
        << p.h.prompts.messages[0];
    EXPECT_EQ(p.h.prompts.kinds.back(), MessageSink::Kind::Error);

    p.h.prompts.yes = { true };
    p.h.prompts.messages.clear();
    p.w->findChild<QAction*>(QStringLiteral("N5"))->trigger();
    ASSERT_EQ(p.h.prompts.messages.size(), 1u);
    EXPECT_TRUE(p.h.prompts.messages[0].starts_with("删除拨号配置失败：无法写入配置文件 "))
        << p.h.prompts.messages[0];
}

namespace
{

// The page over the pppd back end with the stand-in pppd (the kernel here
// has no PPP driver): a phone book, secrets and run folder of its own.
struct PppdPage {
    TempDir ppp;
    DialPage p;
    PppdPaths paths;

    explicit PppdPage(DialerIdentity who = DialerIdentity::current())
    {
        for (const char* d : { "peers", "secrets", "run" })
            fs::create_directories(ppp / d);
        // The stand-in reads where to find the secrets and where to write its pid file.
        ::setenv("TARNWICK_PPP_SECRETS", (ppp / "secrets").c_str(), 1);
        ::setenv("TARNWICK_PPP_RUN", (ppp / "run").c_str(), 1);
        std::ofstream(ppp / "peers" / "dsl") << "noipdefault\n";
        std::ofstream(ppp / "peers" / "pppoe") << "plugin rp-pppoe.so eth0\n# stand-in: plugin\n";
        paths.peers = ppp / "peers";
        paths.secrets = ppp / "secrets";
        paths.run = ppp / "run";
        paths.pppd = STAND_IN_PPPD;
        use(who);
    }
    ~PppdPage()
    {
        PppdBackend backend(paths);
        if (const auto c = backend.connections())
            for (const auto& conn : *c)
                backend.hangUp(conn);
        ::unsetenv("TARNWICK_PPP_SECRETS");
        ::unsetenv("TARNWICK_PPP_RUN");
    }
    void use(DialerIdentity who)
    {
        p.h.dm.useDialBackend(std::make_unique<PppdBackend>(paths, std::move(who)));
        // The page reads the lines again each time it is shown.
        auto* pages = p.h.find<QTabWidget>("cxPCxzcz");
        pages->setCurrentIndex(0);
        pages->setCurrentIndex(1);
    }
    void dial(const char* line, const char* password)
    {
        p.h.click("cxBdk");
        p.h.edit("cxTEyhm")->setText(QStringLiteral("ann"));
        p.h.edit("cxTEmm")->setText(QString::fromLatin1(password));
        p.h.find<QComboBox>("cxCBljxl")->setCurrentText(QString::fromLatin1(line));
        p.h.click("cxBbohao");
    }
    bool balloonUntil(const std::string& starts)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!p.w->lastBalloon().starts_with(starts) && std::chrono::steady_clock::now() < end)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return p.w->lastBalloon().starts_with(starts);
    }
};

} // namespace

TEST(DialUpPage, SuccessOnlyOnceTheLinkIsUpWithItsAddressAndHangUpOnlyWhenConnected)
{
    PppdPage page;
    page.dial("dsl", "right");
    EXPECT_FALSE(page.p.w->lastBalloon().starts_with("提示|拨号成功")) << "pppd has only been started";
    ASSERT_TRUE(page.balloonUntil("提示|拨号成功")) << page.p.w->lastBalloon();
    EXPECT_EQ(page.p.w->lastBalloon(), "提示|拨号成功!IP地址为:10.64.64.64");

    page.p.h.click("cxBdk");
    EXPECT_EQ(page.p.w->lastBalloon(), "提示|断开拨号成功!");
    page.p.h.click("cxBdk");
    EXPECT_EQ(page.p.w->lastBalloon(), "提示|当前没有拨号连接，无需断开。");
}

TEST(DialUpPage, PppdQuittingAtOnceShowsWhyAndNoSuccess)
{
    const struct {
        const char* what;
        const char* line;
        const char* password;
        const char* says;
    } cases[] = {
        { "plugin refused to this user", "pppoe", "right",
            "拨号失败!拨号选项有误（pppd 退出码 2）：pppd: using the plugin option requires root privilege" },
        { "wrong password", "dsl", "wrong", "拨号失败!用户名或密码不正确，对方拒绝了身份验证" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PppdPage page;
        page.dial(c.line, c.password);
        ASSERT_TRUE(page.balloonUntil("提示|拨号失败!")) << page.p.w->lastBalloon();
        EXPECT_EQ(page.p.w->lastBalloon(), "提示|" + std::string(c.says));
        EXPECT_EQ(page.p.h.prompts.count(c.says), 1)
            << "a message box where no notification area shows the balloon";
        // Nothing later turns it into a success.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 200);
        EXPECT_EQ(page.p.w->lastBalloon(), "提示|" + std::string(c.says));
    }
}

TEST(DialUpPage, AUserOutsideTheDialGroupIsToldWhichGroupMayDial)
{
    const group* dip = ::getgrnam("dip");
    if (!dip)
        GTEST_SKIP() << "no group dip on this machine";
    PppdPage page;
    // pppd as the ppp package installs it: run by root and group dip only.
    fs::create_directories(page.ppp / "sbin");
    page.paths.pppd = (page.ppp / "sbin" / "pppd").string();
    fs::copy_file(STAND_IN_PPPD, page.paths.pppd);
    ASSERT_EQ(::chown(page.paths.pppd.c_str(), 0, dip->gr_gid), 0);
    ASSERT_EQ(::chmod(page.paths.pppd.c_str(), 04754), 0);
    page.use(DialerIdentity { 65534, 65534, { 65534 } }); // nobody

    auto* lines = page.p.h.find<QComboBox>("cxCBljxl");
    EXPECT_EQ(lines->count(), 0);
    // The box shows the start of the reason, its hint the whole of it.
    EXPECT_TRUE(lines->toolTip().contains(QStringLiteral("只有 dip 组的成员才能拨号")))
        << lines->toolTip().toStdString();
    EXPECT_TRUE(lines->placeholderText().startsWith(QStringLiteral("只有 dip")))
        << lines->placeholderText().toStdString();
    EXPECT_LE(lines->fontMetrics().horizontalAdvance(lines->placeholderText()), lines->width());
    page.p.h.prompts.messages.clear();
    page.dial("dsl", "right");
    ASSERT_EQ(page.p.h.prompts.messages.size(), 1u);
    EXPECT_NE(page.p.h.prompts.messages[0].find("sudo adduser nobody dip"), std::string::npos)
        << page.p.h.prompts.messages[0];

    page.use(DialerIdentity { 65534, 65534, { 65534, dip->gr_gid } }); // nobody in dip
    EXPECT_EQ(lines->count(), 2);
    EXPECT_TRUE(lines->placeholderText().isEmpty());
    EXPECT_TRUE(lines->toolTip().isEmpty());
}
