// Nothing cut off or overgrown: every control of the main window shows its
// whole text in every look at both widths, and long captions stay short in
// menus and dialogs with the whole caption in a hint.
#include "GuiHarness.h"

#include "StoreTestUtil.h"
#include "app/gui/QtPrompts.h"
#include "store/gui/TFSaveConfig.h"

#include <QAbstractItemView>
#include <QMessageBox>
#include <QStyleOptionComboBox>
#include <QTabWidget>

using namespace tarnwick;
using namespace tarnwick::gui;
using namespace tarnwick::test;

namespace
{

// One of each family: the two plain styles, the flat one drawn by hand and
// the style sheets of the skins (the longest name among them).
const char* const kLooks[] = { "Standard", "Flat", "Ultra Flat", "Valentine", "LondonLiquidSky" };

QString where(const QWidget* w)
{
    return w->objectName() + QStringLiteral(" (") + QString::fromLatin1(w->metaObject()->className())
        + QStringLiteral(")");
}

// Room a combo box leaves for its text, as its style lays it out.
QRect comboTextRect(const QComboBox* c)
{
    QStyleOptionComboBox opt;
    opt.initFrom(c);
    opt.editable = c->isEditable();
    opt.frame = c->hasFrame();
    opt.currentText = c->currentText();
    return c->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, c);
}

// Every fault of `w` as a text, none when it shows all of itself.
QStringList cutOff(QWidget* w, const QRect& shown, QWidget* window)
{
    QStringList faults;
    const QRect inWindow(w->mapTo(window, QPoint(0, 0)), w->size());
    if (!shown.contains(inWindow))
        faults << QStringLiteral("outside the window at %1,%2 %3x%4")
                      .arg(inWindow.x())
                      .arg(inWindow.y())
                      .arg(inWindow.width())
                      .arg(inWindow.height());
    if (w->parentWidget() && !w->parentWidget()->rect().contains(w->geometry()))
        faults << QStringLiteral("outside its parent");
    const QFontMetrics fm = w->fontMetrics();
    if (auto* label = qobject_cast<QLabel*>(w)) {
        if (fm.horizontalAdvance(label->text()) > label->contentsRect().width())
            faults << QStringLiteral("label text wider than the label");
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
        const int room = comboTextRect(combo).width();
        // A box too narrow for an item drops down wide enough for it and
        // names the chosen one in its hint.
        for (int i = 0; i < combo->count(); ++i) {
            const int needs = fm.horizontalAdvance(combo->itemText(i));
            if (needs > room && combo->view()->minimumWidth() < needs + 8)
                faults << QStringLiteral("item '%1' wider than the box's %2 px and its list")
                              .arg(combo->itemText(i))
                              .arg(room);
        }
        if (combo->count() > 0 && fm.horizontalAdvance(combo->currentText()) > room
            && combo->toolTip() != combo->currentText())
            faults << QStringLiteral("'%1' cut off without a hint").arg(combo->currentText());
        if (room < fm.averageCharWidth() * 4)
            faults << QStringLiteral("no room for text");
        if (combo->height() < fm.height() + 2)
            faults << QStringLiteral("lower than its text");
    } else if (auto* push = qobject_cast<QPushButton*>(w)) {
        if (fm.horizontalAdvance(push->text()) + 4 > push->width())
            faults << QStringLiteral("button text wider than the button");
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        if (button->sizeHint().width() > button->width())
            faults
                << QStringLiteral("needs %1 px, has %2").arg(button->sizeHint().width()).arg(button->width());
    }
    return faults;
}

// The faults of every visible text-bearing control of the page shown, and of
// the left strip.
QStringList faultsOfShownPage(TFmain& window)
{
    QStringList faults;
    const QRect shown = window.centralWidget()->geometry();
    auto* pages = window.findChild<QTabWidget*>(QStringLiteral("cxPCxzcz"));
    for (QWidget* w : window.centralWidget()->findChildren<QWidget*>()) {
        const bool control = qobject_cast<QLabel*>(w) || qobject_cast<QLineEdit*>(w)
            || qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractButton*>(w);
        // Parts of other controls (a tab bar's scroll buttons) are theirs.
        if (!control || w->objectName().isEmpty() || !w->isVisibleTo(&window))
            continue;
        if (pages->isAncestorOf(w) && !pages->currentWidget()->isAncestorOf(w))
            continue;
        for (const QString& f : cutOff(w, shown, &window))
            faults << where(w) + QStringLiteral(": ") + f;
    }
    return faults;
}

} // namespace

TEST(Fit, EveryControlShowsItsWholeTextInEveryLookAtBothWidths)
{
    for (const char* advanced : { "0", "1" }) {
        for (const char* look : kLooks) {
            for (int page : { 0, 1 }) {
                SCOPED_TRACE(
                    std::string("Advanced=") + advanced + " look " + look + " page " + std::to_string(page));
                Harness h;
                h.prepare();
                settings::writeSkin(h.ini(), look);
                h.set(settings::kAdvanced, advanced);
                TFmain& w = h.start();
                h.find<QTabWidget>("cxPCxzcz")->setCurrentIndex(page);
                QCoreApplication::processEvents();
                const QStringList faults = faultsOfShownPage(w);
                EXPECT_TRUE(faults.isEmpty()) << faults.join(QLatin1Char('\n')).toStdString();
            }
        }
    }
}

TEST(Fit, TheSkinListDropsDownWideEnoughForEveryName)
{
    Harness h;
    h.prepare();
    h.start();
    auto* list = h.find<QComboBox>("cxCBSkin");
    int widest = 0;
    for (int i = 0; i < list->count(); ++i)
        widest = std::max(widest, list->view()->fontMetrics().horizontalAdvance(list->itemText(i)));
    EXPECT_GE(list->view()->minimumWidth(), widest + 8);
}

namespace
{

const QString kLongCaption = QString(200, QChar(u'长')).replace(100, 1, QStringLiteral("中"));

// A configuration file with one record of a 200-character caption.
void prepareLongCaption(Harness& h)
{
    h.prepare();
    writeBytes(h.configFile(),
        configFileBytes("2", { sampleRecord("1", "家里"), sampleRecord("2", kLongCaption.toStdString()) }));
}

} // namespace

TEST(Fit, TheSwitchMenuShortensALongCaptionAndHintsTheWholeOne)
{
    Harness h;
    prepareLongCaption(h);
    TFmain& w = h.start();
    QMenu* menu = w.switchMenu();
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions().at(0)->text(), QStringLiteral("家里"));
    QAction* longOne = menu->actions().at(1);
    EXPECT_LT(longOne->text().size(), 60);
    EXPECT_EQ(longOne->toolTip(), kLongCaption);
    EXPECT_TRUE(menu->toolTipsVisible());
    EXPECT_LT(menu->sizeHint().width(), 500);
    EXPECT_LT(w.trayMenu()->sizeHint().width(), 500);
}

TEST(Fit, TheSaveDialogStaysNarrowWithALongCaption)
{
    Harness h;
    prepareLongCaption(h);
    TFmain& w = h.start();
    // Opened twice: the second time the box has its items before it is shown.
    std::vector<int> widths;
    QString hint;
    QString chosen;
    for (int opening = 0; opening < 2; ++opening) {
        QTimer::singleShot(0, &w, [&] {
            TFSaveConfig* d = w.saveDialog();
            ASSERT_NE(d, nullptr);
            auto* old = d->findChild<QComboBox*>(QStringLiteral("cxCBoldconfig"));
            old->setCurrentIndex(1);
            QCoreApplication::processEvents();
            widths.push_back(std::max(d->width(), d->sizeHint().width()));
            hint = old->itemData(1, Qt::ToolTipRole).toString();
            chosen = old->currentText();
            d->cxBcloseClick();
        });
        h.click("cxBSave");
    }
    ASSERT_EQ(widths.size(), 2u);
    for (int width : widths) {
        EXPECT_GT(width, 0);
        EXPECT_LT(width, 500);
    }
    EXPECT_EQ(hint, kLongCaption);
    EXPECT_EQ(chosen, kLongCaption) << "an overwrite keeps the whole name";
}

TEST(Fit, AMessageBoxIsWideEnoughForItsTitle)
{
    for (const char* title : { "Tarnwick", "系统警告", "TarnwickV2.3 配置文件" }) {
        SCOPED_TRACE(title);
        auto box = QtPrompts::makeBox(QMessageBox::Information, QString::fromUtf8(title),
            QStringLiteral("好"), QMessageBox::Ok, nullptr);
        box->show();
        QCoreApplication::processEvents();
        QFont bold = box->font();
        bold.setBold(true);
        const int titleWidth = QFontMetrics(bold).horizontalAdvance(box->windowTitle());
        // Room for the title bar's icon and its three buttons as well.
        EXPECT_GE(box->width(), titleWidth + 120);
        box->close();
    }
}
