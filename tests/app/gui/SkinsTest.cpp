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
