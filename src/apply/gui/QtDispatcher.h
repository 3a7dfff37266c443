#pragma once

#include "apply/HandOverQueue.h"
#include "base/Dispatcher.h"

#include <memory>

class QObject;

namespace tarnwick
{

// The program's dispatcher: a hand-over wakes the GUI thread with a queued
// call on its event loop and the worker waits until the action has run, like
// a blocking queued call. Create it on the GUI thread.
class QtDispatcher : public Dispatcher
{
public:
    QtDispatcher();
    ~QtDispatcher() override;

    void invoke(std::function<void()> action) override;
    void serveUntil(const std::function<bool()>& done) override;

private:
    bool onGuiThread() const;

    // Lives on the GUI thread; queued calls to it die with it.
    std::unique_ptr<QObject> m_receiver;
    HandOverQueue m_queue;
};

} // namespace tarnwick
