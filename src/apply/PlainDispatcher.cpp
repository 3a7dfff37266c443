#include "apply/PlainDispatcher.h"

namespace tarnwick
{

PlainDispatcher::PlainDispatcher()
    : m_guiThread(std::this_thread::get_id())
{
}

void PlainDispatcher::invoke(std::function<void()> action)
{
    if (onGuiThread())
        action();
    else
        m_queue.handOver(std::move(action));
}

void PlainDispatcher::serveUntil(const std::function<bool()>& done)
{
    while (!done()) {
        if (m_queue.runPending() == 0)
            m_queue.waitForPending();
    }
}

int PlainDispatcher::runPending()
{
    return m_queue.runPending();
}

} // namespace tarnwick
