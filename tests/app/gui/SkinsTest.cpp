// The skin list: order, choice, storage and the looks drawn.
#include "GuiHarness.h"

using namespace tarnwick;
using namespace tarnwick::gui;
using namespace tarnwick::test;

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

    trayChoice(w, "N4"); // "隐藏窗体"
    trayChoice(w, "N3"); // "显示窗体"
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

namespace
{

QImage drawn(QWidget& w)
{
    w.ensurePolished();
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The share of pixels that differ visibly (by more than a faint shade), so a
// one-pixel change does not count as a different look.
double changedShare(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return 1.0;
    int changed = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QColor p = a.pixelColor(x, y), q = b.pixelColor(x, y);
            if (std::abs(p.red() - q.red()) + std::abs(p.green() - q.green()) + std::abs(p.blue() - q.blue())
                > 24)
                ++changed;
        }
    return static_cast<double>(changed) / (a.width() * a.height());
}

// Each kind of control, drawn enabled and disabled, and a checked box
// disabled beside an unchecked one.
void expectDisabledStatesVisible(const QString& look)
{
    SCOPED_TRACE(look.toStdString());
    QWidget page;
    auto* button = new QPushButton(QStringLiteral("保 存"), &page);
    auto* check = new QCheckBox(QStringLiteral("使用代理服务器"), &page);
    auto* radio = new QRadioButton(QStringLiteral("自动获得IP地址"), &page);
    auto* edit = new QLineEdit(QStringLiteral("192.0.2.1"), &page);
    auto* combo = new QComboBox(&page);
    combo->addItem(QStringLiteral("lan0 - veth"));
    auto* label = new QLabel(QStringLiteral("代理地址"), &page);
    QWidget* const kinds[] = { button, check, radio, edit, combo, label };
    for (QWidget* w : kinds) {
        w->resize(w->sizeHint());
        const QImage enabled = drawn(*w);
        w->setEnabled(false);
        EXPECT_GT(changedShare(drawn(*w), enabled), 0.02)
            << w->metaObject()->className() << " looks the same disabled";
        w->setEnabled(true);
    }
    for (QAbstractButton* b :
        { static_cast<QAbstractButton*>(check), static_cast<QAbstractButton*>(radio) }) {
        b->setEnabled(false);
        // The indicator alone: the caption is the same either way.
        const QRect indicator(0, 0, b->height(), b->height());
        b->setChecked(false);
        const QImage unchecked = drawn(*b).copy(indicator);
        b->setChecked(true);
        EXPECT_GT(changedShare(drawn(*b).copy(indicator), unchecked), 0.04)
            << b->metaObject()->className() << " disabled: checked looks unchecked";
    }
}

} // namespace

TEST(Skins, EveryLookDrawsDisabledControlsVisiblyDifferent)
{
    Harness h;
    h.prepare();
    h.start();
    LookController& look = h.dm.look();
    look.applyKind(LookKind::Standard);
    expectDisabledStatesVisible(QStringLiteral("Standard"));
    look.applyKind(LookKind::Flat);
    expectDisabledStatesVisible(QStringLiteral("Flat"));
    look.applyKind(LookKind::UltraFlat);
    expectDisabledStatesVisible(QStringLiteral("Ultra Flat"));
    for (const QString& skin : look.builtInSkinNames()) {
        ASSERT_TRUE(look.applyByName(skin));
        expectDisabledStatesVisible(skin);
    }
}
