#pragma once

class QCoreApplication;
class QTranslator;

namespace tarnwick::gui
{

// Qt's own texts (the standard buttons, the file dialog) in Simplified
// Chinese, from the translations Qt ships (Debian: qt6-translations-l10n).
// Null when they are not installed; Qt's English texts stay then. The
// translator belongs to `app`.
QTranslator* installQtTranslations(QCoreApplication& app);

} // namespace tarnwick::gui
