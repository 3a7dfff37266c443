#include "app/gui/TDM.h"

namespace tarnwick::gui
{

TDM::TDM(QObject* parent)
    : QObject(parent)
{
    setObjectName(QStringLiteral("DM"));
}

} // namespace tarnwick::gui
