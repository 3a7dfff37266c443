#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace tarnwick::test
{

// The GUI thread's queue of posted actions for tests without an event loop:
// any thread posts, the test's own thread serves.
class GuiQueue
{
public:
    void post(std::function<void()> action)
    {
        std::lock_guard lock(m_mutex);
        m_actions.push_back(std::move(action));
        m_posted.notify_all();
    }
    // Serves posted actions until `done` holds; false after 10 s without it.
    bool serveUntil(const std::function<bool()>& done)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done()) {
            std::unique_lock lock(m_mutex);
            if (!m_posted.wait_until(lock, deadline, [&] { return !m_actions.empty(); }))
                return false;
            auto action = std::move(m_actions.front());
            m_actions.pop_front();
            lock.unlock();
            action();
        }
        return true;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<std::function<void()>> m_actions;
};

} // namespace tarnwick::test
