#pragma once

#include "app/gui/LookController.h"
#include "apply/gui/QtDispatcher.h"
#include "dialup/TDialUp.h"

#include <QObject>

#include <memory>

namespace tarnwick::gui
{

// The shared data module: the non-visual parts several windows use. Created
// before the main window.
class TDM : public QObject
{
    Q_OBJECT
public:
    // `dialService`: the system's dial-up service, or a test's stand-in.
    explicit TDM(std::unique_ptr<DialBackend> dialService, QObject* parent = nullptr);

    LookController& look() { return m_look; }
    // Hands the workers' window changes to the GUI thread. Created before and
    // destroyed after every window, so it outlives each window's worker.
    Dispatcher& dispatcher() { return m_dispatcher; }

    // The dial-up component, over the service handed in.
    TDialUp& DUbohao() { return *m_dialUp; }
    // Puts another back end under DUbohao (tests).
    void useDialBackend(std::unique_ptr<DialBackend> backend);

private:
    LookController m_look;
    QtDispatcher m_dispatcher;
    // Last, so it goes first: its back end joins the dial's threads while
    // this module, which their statuses are posted to, is still whole.
    std::unique_ptr<TDialUp> m_dialUp;
};

} // namespace tarnwick::gui
