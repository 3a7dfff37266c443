#pragma once

#include <QEvent>
#include <QObject>

#include <cstdio>

// For the reference programs of bench/startup: prints "first paint" on
// standard error once the watched window has been painted for the first time
// (its children are painted in the same pass), as tarnwick's start-up log does.
class FirstPaintReporter : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            std::fputs("first paint\n", stderr);
            std::fflush(stderr);
        }
        return false;
    }
};
