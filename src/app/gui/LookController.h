#pragma once

#include "app/SkinCatalog.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <vector>

namespace tarnwick::gui
{

// The application's one look-and-feel controller: skins on or off, the
// current skin's name, and the plain look drawn when skins are off. Every
// window follows it, because it sets the application's style and style sheet.
class LookController : public QObject
{
    Q_OBJECT
public:
    explicit LookController(QObject* parent = nullptr);

    // The program's font for every window: 宋体 9 point (12 pixels); where
    // SimSun is missing, an installed CJK font that also carries Latin
    // letters, so both scripts share one face.
    static void useProgramFont();

    // Display names of every built-in skin definition in the resources, the
    // toolkit's own entry included (the skin list drops it).
    QStringList builtInSkinNames() const;

    // Skins off, the plain look drawn.
    void applyKind(LookKind kind);
    // Skins on for a non-empty name, off for an empty one. A name that is no
    // built-in skin falls back to the Standard look and returns false.
    bool applyByName(const QString& name);

    // A name as stored: one of the plain looks by kind, otherwise by name.
    void applyStoredName(const QString& name);
    // Draws the look stored in config.ini, if the file exists; says nothing.
    void preload(const std::filesystem::path& iniPath);

    bool skinsOn() const { return m_skinsOn; }
    QString skinName() const { return m_skinName; }
    LookKind kind() const { return m_kind; }

private:
    const std::vector<SkinPalette>& skins() const;
    void setLook(const QString& base, bool ultraFlat, const QString& styleSheet);

    bool m_skinsOn = true;
    // What the controller holds until the stored skin is first applied.
    QString m_skinName = QStringLiteral("Xmas2008Blue");
    LookKind m_kind = LookKind::Standard;
    mutable std::vector<SkinPalette> m_skins;
    QString m_styleKey; // the style now drawn, empty before the first look
};

} // namespace tarnwick::gui
