#pragma once

#include <functional>

namespace tarnwick
{

// Hands actions from worker threads to the GUI thread, which owns every
// widget. Actions run in the order handed over, one at a time.
class Dispatcher
{
public:
    virtual ~Dispatcher() = default;

    // Runs `action` on the GUI thread and returns once it has run; on the GUI
    // thread itself it runs at once. An exception thrown by the action is
    // thrown again here, in the caller's thread.
    virtual void invoke(std::function<void()> action) = 0;

    // GUI thread only: serves hand-overs as they arrive, without running any
    // other GUI event, until `done` holds (checked before waiting and after
    // each action). Lets the GUI thread wait for a worker that may still need
    // it. `done` must turn true through one of the served actions, since
    // nothing else wakes the wait.
    virtual void serveUntil(const std::function<bool()>& done) = 0;
};

} // namespace tarnwick
