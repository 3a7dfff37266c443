#pragma once

#include "app/gui/LookController.h"

#include <QObject>

namespace tarnwick::gui
{

// The shared data module: the non-visual parts several windows use. Created
// before the main window.
class TDM : public QObject
{
    Q_OBJECT
public:
    explicit TDM(QObject* parent = nullptr);

    LookController& look() { return m_look; }

    // The dial-up component DUbohao joins here with the dial-up engine.

private:
    LookController m_look;
};

} // namespace tarnwick::gui
