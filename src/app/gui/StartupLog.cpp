#include "app/gui/StartupLog.h"

#include <QElapsedTimer>

Q_LOGGING_CATEGORY(lcStartup, "tarnwick.startup", QtWarningMsg)

namespace tarnwick::gui
{

void startupMark(const char* what)
{
    static QElapsedTimer sinceFirst;
    if (!sinceFirst.isValid())
        sinceFirst.start();
    qCDebug(lcStartup, "%s at %.1f ms", what, static_cast<double>(sinceFirst.nsecsElapsed()) / 1e6);
}

} // namespace tarnwick::gui
