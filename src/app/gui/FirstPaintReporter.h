#pragma once

#include "app/gui/StartupTrace.h"

#include <QEvent>
#include <QObject>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>

namespace tarnwick::gui
{

// For bench/startup: prints "tarnwick: <ms> ms CPU in child processes; shown"
// once the watched window has been painted for the first time (its children
// are painted in the same pass), then stops watching. The CPU time is that of
// the child processes ended and waited for so far (the start-up's prefetch),
// which the benchmark adds to the process's own. The minimal reference
// program uses the same.
class FirstPaintReporter : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            traceStartup("first paint");
            QTimer::singleShot(0, [] {
                rusage children {};
                ::getrusage(RUSAGE_CHILDREN, &children);
                const double ms
                    = static_cast<double>(children.ru_utime.tv_sec + children.ru_stime.tv_sec) * 1e3
                    + static_cast<double>(children.ru_utime.tv_usec + children.ru_stime.tv_usec) / 1e3;
                std::printf("tarnwick: %.3f ms CPU in child processes; shown\n", ms);
                std::fflush(stdout);
            });
        }
        return false;
    }
};

} // namespace tarnwick::gui
