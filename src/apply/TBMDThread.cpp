#include "apply/TBMDThread.h"

namespace tarnwick
{

TBMDThread::TBMDThread(Dispatcher& dispatcher)
    : m_dispatcher(dispatcher)
{
}

TBMDThread::~TBMDThread()
{
    if (m_running) {
        m_stopRequested = true;
        // The run's end arrives as a hand-over, so serving them is the wait.
        m_dispatcher.serveUntil([this] { return !m_running; });
    }
    if (m_thread.joinable())
        m_thread.join();
}

void TBMDThread::Start()
{
    if (m_running)
        return;
    // The previous run's thread has handed over RunEnded already; at most it
    // still has to return.
    if (m_thread.joinable())
        m_thread.join();
    m_running = true;
    m_stopRequested = false;
    m_thread = std::thread([this] { RunWork(); });
}

void TBMDThread::RunWork()
{
    // The handler was set before Start on the GUI thread, and the thread start
    // orders that write before this read.
    if (m_onExecute) {
        try {
            m_onExecute(*this);
        } catch (...) {
            // A failed job ends quietly; the window shows what it got to.
        }
    }
    // Between here and RunEnded the worker still counts as running, so a
    // Start in that moment is ignored too.
    try {
        m_dispatcher.invoke([this] { RunEnded(); });
    } catch (...) {
    }
}

// On the GUI thread. During destruction this is also what ends the wait.
void TBMDThread::RunEnded()
{
    m_running = false;
}

} // namespace tarnwick
