#pragma once

#include "app/gui/LookController.h"
#include "apply/gui/QtDispatcher.h"

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
    // Hands the workers' window changes to the GUI thread. Created before and
    // destroyed after every window, so it outlives each window's worker.
    Dispatcher& dispatcher() { return m_dispatcher; }

    // The dial-up component DUbohao joins here with the dial-up engine.

private:
    LookController m_look;
    QtDispatcher m_dispatcher;
};

} // namespace tarnwick::gui
