#pragma once

#include "base/Dispatcher.h"

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace tarnwick
{

// The background worker of a window: runs one job at a time on a thread of
// its own. Start, IsRunning and destruction belong to the GUI thread; the job
// reaches widgets only through dispatcher().invoke().
class TBMDThread
{
public:
    using ExecuteHandler = std::function<void(TBMDThread& sender)>;

    explicit TBMDThread(Dispatcher& dispatcher);
    // Waits for a running job, serving its hand-overs meanwhile; the job is
    // asked to stop (StopRequested) but not forced to.
    ~TBMDThread();
    TBMDThread(const TBMDThread&) = delete;
    TBMDThread& operator=(const TBMDThread&) = delete;

    void SetOnExecute(ExecuteHandler handler) { m_onExecute = std::move(handler); }

    // Starts OnExecute on a new thread and returns at once. Ignored (not
    // queued) while a run is going.
    void Start();
    // True from Start until RunEnded has run on the GUI thread.
    bool IsRunning() const { return m_running.load(); }
    // Set while the owner is being destroyed; the job may poll it.
    bool StopRequested() const { return m_stopRequested.load(); }

    Dispatcher& dispatcher() const { return m_dispatcher; }

private:
    void RunWork();
    void RunEnded();

    Dispatcher& m_dispatcher;
    ExecuteHandler m_onExecute;
    // GUI thread writes; the worker only reads m_stopRequested.
    std::atomic<bool> m_running = false;
    std::atomic<bool> m_stopRequested = false;
    std::thread m_thread;
};

} // namespace tarnwick
