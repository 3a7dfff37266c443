#include "apply/HandOverQueue.h"

namespace tarnwick
{

void HandOverQueue::handOver(std::function<void()> action, const std::function<void()>& wake)
{
    auto item = std::make_shared<Item>();
    item->action = std::move(action);
    {
        std::lock_guard lock(m_mutex);
        m_items.push_back(item);
    }
    m_posted.notify_all();
    if (wake)
        wake();
    std::unique_lock lock(m_mutex);
    m_finished.wait(lock, [&] { return item->done; });
    if (item->error)
        std::rethrow_exception(item->error);
}

int HandOverQueue::runPending()
{
    int ran = 0;
    std::size_t left;
    {
        std::lock_guard lock(m_mutex);
        left = m_items.size();
    }
    // Only what was queued on entry: an action that hands over again (from
    // another worker) cannot keep this call going for ever.
    for (; left > 0; --left) {
        std::shared_ptr<Item> item;
        {
            std::lock_guard lock(m_mutex);
            if (m_items.empty())
                break;
            item = m_items.front();
            m_items.pop_front();
        }
        try {
            item->action();
        } catch (...) {
            item->error = std::current_exception();
        }
        {
            std::lock_guard lock(m_mutex);
            item->done = true;
        }
        m_finished.notify_all();
        ++ran;
    }
    return ran;
}

void HandOverQueue::waitForPending()
{
    std::unique_lock lock(m_mutex);
    m_posted.wait(lock, [&] { return !m_items.empty(); });
}

} // namespace tarnwick
