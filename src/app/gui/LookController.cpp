#include "app/gui/LookController.h"

#include "base/Settings.h"

#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QPalette>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>

// The skin table is compiled into a static library: make sure the linker keeps it.
static void initSkinResources()
{
    Q_INIT_RESOURCE(skins);
}

namespace tarnwick::gui
{

namespace
{

// Every look keeps the application's hint delay.
class LookStyle : public QProxyStyle
{
public:
    LookStyle(const QString& base, bool ultraFlat)
        : QProxyStyle(QStyleFactory::create(base))
        , m_flat(ultraFlat)
    {
    }

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
        QStyleHintReturn* returnData) const override
    {
        if (hint == SH_ToolTip_WakeUpDelay)
            return 2000;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }

    // Ultra Flat: no bevels or rounded corners, one-pixel outlines only.
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
        const QWidget* widget) const override
    {
        if (m_flat) {
            const QRect r = option->rect.adjusted(0, 0, -1, -1);
            const QPalette& pal = option->palette;
            switch (element) {
            case PE_PanelButtonCommand: {
                const bool down = option->state & (State_Sunken | State_On);
                const bool hover = option->state & State_MouseOver;
                painter->fillRect(option->rect, down ? pal.dark() : hover ? pal.midlight() : pal.button());
                painter->setPen(pal.color(QPalette::Shadow));
                painter->drawRect(r);
                return;
            }
            case PE_FrameLineEdit:
            case PE_FrameGroupBox:
            case PE_Frame:
            case PE_FrameTabWidget:
                painter->setPen(pal.color(QPalette::Mid));
                painter->setBrush(Qt::NoBrush);
                painter->drawRect(r);
                return;
            default:
                break;
            }
        }
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }

private:
    bool m_flat;
};

QPalette withHintColour(QPalette pal)
{
    pal.setColor(QPalette::ToolTipBase, QColor(166, 202, 240));
    pal.setColor(QPalette::ToolTipText, Qt::black);
    return pal;
}

QPalette ultraFlatPalette()
{
    QPalette pal(QColor(240, 240, 240), QColor(250, 250, 250));
    pal.setColor(QPalette::Button, QColor(250, 250, 250));
    pal.setColor(QPalette::Midlight, QColor(229, 241, 251));
    pal.setColor(QPalette::Dark, QColor(204, 228, 247));
    pal.setColor(QPalette::Mid, QColor(160, 160, 160));
    pal.setColor(QPalette::Shadow, QColor(110, 110, 110));
    pal.setColor(QPalette::Highlight, QColor(0, 120, 215));
    return pal;
}

} // namespace

void LookController::setLook(const QString& base, bool ultraFlat, const QString& styleSheet)
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app)
        return;
    // Every change re-polishes every widget: change only what differs, so
    // applying the look that is already drawn costs nothing.
    const QString styleKey = base + (ultraFlat ? QStringLiteral("/flat") : QString());
    if (styleKey != m_styleKey) {
        auto* style = new LookStyle(base, ultraFlat);
        QApplication::setStyle(style);
        QApplication::setPalette(withHintColour(ultraFlat ? ultraFlatPalette() : style->standardPalette()));
        m_styleKey = styleKey;
    }
    if (styleSheet != app->styleSheet())
        app->setStyleSheet(styleSheet);
}

void LookController::useProgramFont()
{
    QFont font;
    font.setFamilies({ QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Micro Hei") });
    font.setPixelSize(12);
    QApplication::setFont(font);
}

LookController::LookController(QObject* parent)
    : QObject(parent)
{
    initSkinResources();
}

const std::vector<SkinPalette>& LookController::skins() const
{
    if (m_skins.empty()) {
        QFile table(QStringLiteral(":/skins/skins.table"));
        if (table.open(QIODevice::ReadOnly))
            m_skins = parseSkinTable(table.readAll().toStdString());
    }
    return m_skins;
}

QStringList LookController::builtInSkinNames() const
{
    QStringList names;
    for (const SkinPalette& s : skins())
        names << QString::fromStdString(s.name);
    return names;
}

void LookController::applyKind(LookKind kind)
{
    m_skinsOn = false;
    m_kind = kind;
    switch (kind) {
    case LookKind::Standard:
        setLook(QStringLiteral("Windows"), false, {});
        break;
    case LookKind::Flat:
        setLook(QStringLiteral("Fusion"), false, {});
        break;
    case LookKind::UltraFlat:
        setLook(QStringLiteral("Fusion"), true, {});
        break;
    }
}

void LookController::applyStoredName(const QString& name)
{
    if (const auto kind = plainLookByName(name.toStdString()))
        applyKind(*kind);
    else
        applyByName(name);
}

void LookController::preload(const std::filesystem::path& iniPath)
{
    std::error_code ec;
    if (std::filesystem::exists(iniPath, ec))
        applyStoredName(QString::fromStdString(settings::readSkin(iniPath)));
}

bool LookController::applyByName(const QString& name)
{
    if (name.isEmpty()) {
        m_skinsOn = false;
        setLook(QStringLiteral("Windows"), false, {});
        return true;
    }
    const SkinPalette* skin = findSkin(skins(), name.toStdString());
    if (!skin) {
        applyKind(LookKind::Standard);
        return false;
    }
    m_skinsOn = true;
    m_skinName = name;
    setLook(QStringLiteral("Fusion"), false, QString::fromStdString(styleSheetFor(*skin)));
    return true;
}

} // namespace tarnwick::gui
