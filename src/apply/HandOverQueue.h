#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

namespace tarnwick
{

// The queue behind the dispatchers: workers post an action and wait for it;
// the GUI thread runs the posted actions in order. Whatever wakes the GUI
// thread (a Qt event, a test's loop) only has to call runPending().
class HandOverQueue
{
public:
    // Worker side: queues the action, calls `wake` (outside the lock), and
    // blocks until the GUI thread has run it; rethrows its exception.
    void handOver(std::function<void()> action, const std::function<void()>& wake = {});

    // GUI side: runs every action queued at this moment, in order; returns
    // how many ran.
    int runPending();

    // GUI side: blocks until at least one action is queued.
    void waitForPending();

private:
    struct Item {
        std::function<void()> action;
        bool done = false;
        std::exception_ptr error;
    };

    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::condition_variable m_finished;
    std::deque<std::shared_ptr<Item>> m_items;
};

} // namespace tarnwick
