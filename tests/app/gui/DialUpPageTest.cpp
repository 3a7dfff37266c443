// The dial-up page on the real window over a scripted dial-up service:
// entries kept in config.ini, the line list, dial and hang-up.
#include "GuiHarness.h"

#include "base/AtomicFile.h"
#include "base/TIniFile.h"

#include <QTabWidget>

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
        h.find<QListWidget>("cxLVbohao")->setCurrentRow(row);
        w->cxLVbohaoClick();
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
    p.w->N5Click(); // Cancel
    EXPECT_EQ(p.listed().join('|'), QStringLiteral("家里|办公"));
    p.w->N5Click(); // OK
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
    EXPECT_EQ(p.w->lastBalloon(), "提示|断开拨号成功!");

    p.select(0);
    p.h.find<QComboBox>("cxCBljxl")->setCurrentIndex(0);
    p.service->hangUpPasses = 0;
    p.h.click("cxBbohao");
    EXPECT_EQ(p.service->stored, (std::vector<std::string> { "dsl", "ann", "pw1" }));
    EXPECT_EQ(p.service->hangUpPasses, 14) << "the page's hang-up and the dial's own";
    EXPECT_EQ(p.w->lastBalloon(), "提示|拨号成功!IP地址为:");

    // A dial the service refuses shows nothing.
    p.h.click("cxBdk");
    p.service->dialError = 633;
    p.h.click("cxBbohao");
    EXPECT_EQ(p.w->lastBalloon(), "提示|断开拨号成功!");
    EXPECT_FALSE(p.h.enabled("cxBbohao"));
}
