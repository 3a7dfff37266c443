#include "apply/gui/QtDispatcher.h"
#include "apply/TBMDThread.h"

#include <QCoreApplication>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace tarnwick;

namespace
{

int argc = 1;
char arg0[] = "QtDispatcherTest";
char* argv[] = { arg0, nullptr };

} // namespace

TEST(QtDispatcher, HandOversRunOnTheEventLoopThreadAndTheWorkerWaits)
{
    QCoreApplication app(argc, argv);
    QtDispatcher gui;
    const auto guiId = std::this_thread::get_id();
    int seen = 0;
    bool onGui = true;
    TBMDThread worker(gui);
    worker.SetOnExecute([&](TBMDThread& self) {
        for (int i = 0; i < 20; ++i) {
            self.dispatcher().invoke([&, i] {
                onGui = onGui && std::this_thread::get_id() == guiId && seen == i;
                ++seen;
            });
        }
    });
    worker.Start();
    // RunEnded comes through the event loop as well.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!worker.IsRunning())
            app.quit();
    });
    poll.start(1);
    app.exec();
    EXPECT_EQ(seen, 20);
    EXPECT_TRUE(onGui);

    // On the GUI thread itself an action runs at once.
    bool ran = false;
    gui.invoke([&] { ran = true; });
    EXPECT_TRUE(ran);
}

TEST(QtDispatcher, DestructionServesHandOversWithoutTheEventLoop)
{
    QCoreApplication app(argc, argv);
    QtDispatcher gui;
    int served = 0;
    std::atomic<bool> started = false;
    {
        TBMDThread worker(gui);
        worker.SetOnExecute([&](TBMDThread& self) {
            started = true;
            for (int i = 0; i < 200; ++i)
                self.dispatcher().invoke([&] { ++served; });
        });
        worker.Start();
        while (!started)
            std::this_thread::yield();
    }
    EXPECT_EQ(served, 200);
    // The queued wake-ups left behind find nothing to do.
    QCoreApplication::processEvents();
    EXPECT_EQ(served, 200);
}
