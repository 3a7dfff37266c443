#pragma once

#include "app/gui/StartupTrace.h"

#include <QEvent>
#include <QObject>
#include <QTimer>

#include <cstdio>

namespace tarnwick::gui
{

// For bench/startup: prints "tarnwick: shown" once the watched window has
// been painted for the first time (its children are painted in the same
// pass), then stops watching. The minimal reference program uses the same.
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
                std::fputs("tarnwick: shown\n", stdout);
                std::fflush(stdout);
            });
        }
        return false;
    }
};

} // namespace tarnwick::gui
