#include "apply/TBMDThread.h"
#include "apply/PlainDispatcher.h"

#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace tarnwick;

// The test's main thread plays the GUI thread of the PlainDispatcher.
namespace
{

void serveUntilIdle(PlainDispatcher& d, const TBMDThread& w)
{
    d.serveUntil([&] { return !w.IsRunning(); });
}

} // namespace

TEST(TBMDThread, SecondStartWhileRunningIsIgnoredNotQueued)
{
    PlainDispatcher gui;
    TBMDThread worker(gui);
    std::atomic<int> runs = 0;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    worker.SetOnExecute([&](TBMDThread&) {
        ++runs;
        released.wait();
    });

    worker.Start();
    EXPECT_TRUE(worker.IsRunning());
    worker.Start();
    worker.Start();
    release.set_value();
    serveUntilIdle(gui, worker);
    EXPECT_EQ(runs, 1);

    worker.Start(); // idle again: accepted
    serveUntilIdle(gui, worker);
    EXPECT_EQ(runs, 2);
}

TEST(TBMDThread, RunningUntilRunEndedHasRunOnTheGuiThread)
{
    PlainDispatcher gui;
    TBMDThread worker(gui);
    std::promise<void> finished;
    std::atomic<int> runs = 0;
    worker.SetOnExecute([&](TBMDThread&) {
        if (++runs == 1)
            finished.set_value();
    });
    worker.Start();
    finished.get_future().wait();
    // The job is over, but the GUI thread has not served RunEnded yet.
    EXPECT_TRUE(worker.IsRunning());
    worker.Start();
    serveUntilIdle(gui, worker);
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_EQ(runs, 1);
}

TEST(TBMDThread, AnErrorInTheJobLeavesItIdleAndRestartable)
{
    PlainDispatcher gui;
    TBMDThread worker(gui);
    std::atomic<int> runs = 0;
    worker.SetOnExecute([&](TBMDThread&) {
        if (++runs == 1)
            throw std::runtime_error("socket error");
        throw 42; // not even an exception class
    });
    worker.Start();
    serveUntilIdle(gui, worker);
    EXPECT_FALSE(worker.IsRunning());
    worker.Start();
    serveUntilIdle(gui, worker);
    EXPECT_EQ(runs, 2);
}

TEST(TBMDThread, HandOversRunOnTheGuiThreadInOrderAndPassErrorsBack)
{
    PlainDispatcher gui;
    TBMDThread worker(gui);
    const auto guiId = std::this_thread::get_id();
    std::vector<int> seen; // GUI thread only
    bool allOnGui = true;
    std::atomic<bool> errorCameBack = false;
    worker.SetOnExecute([&](TBMDThread& self) {
        for (int i = 0; i < 50; ++i)
            self.dispatcher().invoke([&, i] {
                allOnGui = allOnGui && std::this_thread::get_id() == guiId;
                seen.push_back(i);
            });
        try {
            self.dispatcher().invoke([] { throw std::runtime_error("widget gone"); });
        } catch (const std::runtime_error&) {
            errorCameBack = true;
        }
    });
    worker.Start();
    serveUntilIdle(gui, worker);
    ASSERT_EQ(seen.size(), 50u);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(seen[static_cast<std::size_t>(i)], i);
    EXPECT_TRUE(allOnGui);
    EXPECT_TRUE(errorCameBack);
}

TEST(TBMDThread, DestructionDuringAJobThatKeepsHandingOverDoesNotDeadlock)
{
    PlainDispatcher gui;
    int served = 0; // GUI thread only
    std::atomic<bool> stopSeen = false;
    std::promise<void> started;
    {
        TBMDThread worker(gui);
        worker.SetOnExecute([&](TBMDThread& self) {
            started.set_value();
            // Ignores the stop request, like the program's jobs, and goes on
            // needing the GUI thread.
            for (int i = 0; i < 300; ++i) {
                self.dispatcher().invoke([&] { ++served; });
                if (self.StopRequested())
                    stopSeen = true;
            }
        });
        worker.Start();
        started.get_future().wait();
        gui.runPending();
    } // the destructor waits here, serving the remaining hand-overs
    EXPECT_EQ(served, 300);
    EXPECT_TRUE(stopSeen);
}

TEST(TBMDThread, TwoWorkersOnOneDispatcherAreServedWhileOneIsDestroyed)
{
    PlainDispatcher gui;
    std::atomic<int> other = 0;
    TBMDThread longLived(gui);
    longLived.SetOnExecute([&](TBMDThread& self) {
        for (int i = 0; i < 100; ++i)
            self.dispatcher().invoke([&] { ++other; });
    });
    longLived.Start();
    {
        TBMDThread shortLived(gui);
        shortLived.SetOnExecute([&](TBMDThread& self) {
            for (int i = 0; i < 100; ++i)
                self.dispatcher().invoke([] {});
        });
        shortLived.Start();
    }
    serveUntilIdle(gui, longLived);
    EXPECT_EQ(other, 100);
}

TEST(TBMDThread, DestroyingAnIdleOrNeverStartedWorkerReturnsAtOnce)
{
    PlainDispatcher gui;
    {
        TBMDThread never(gui);
    }
    TBMDThread once(gui);
    once.SetOnExecute([](TBMDThread&) {});
    once.Start();
    serveUntilIdle(gui, once);
}
