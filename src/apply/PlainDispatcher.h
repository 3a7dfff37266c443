#pragma once

#include "apply/HandOverQueue.h"
#include "base/Dispatcher.h"

#include <thread>

namespace tarnwick
{

// A dispatcher without an event loop: the thread that creates it plays the
// GUI thread and serves hand-overs when it calls runPending() or serveUntil().
// The command line and the tests use it.
class PlainDispatcher : public Dispatcher
{
public:
    PlainDispatcher();

    void invoke(std::function<void()> action) override;
    void serveUntil(const std::function<bool()>& done) override;

    // Runs what is queued now; returns how many actions ran.
    int runPending();
    bool onGuiThread() const { return std::this_thread::get_id() == m_guiThread; }

private:
    std::thread::id m_guiThread;
    HandOverQueue m_queue;
};

} // namespace tarnwick
