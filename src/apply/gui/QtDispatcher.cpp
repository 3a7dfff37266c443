#include "apply/gui/QtDispatcher.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

namespace tarnwick
{

QtDispatcher::QtDispatcher()
    : m_receiver(std::make_unique<QObject>())
{
}

QtDispatcher::~QtDispatcher() = default;

bool QtDispatcher::onGuiThread() const
{
    return QThread::currentThread() == m_receiver->thread();
}

void QtDispatcher::invoke(std::function<void()> action)
{
    // A blocking queued call to our own thread would wait for ever.
    if (onGuiThread()) {
        action();
        return;
    }
    // The queue, not the Qt event, carries the action: serveUntil() can then
    // run it while the GUI thread waits outside the event loop, and the event
    // finds nothing left to do.
    QObject* receiver = m_receiver.get();
    m_queue.handOver(std::move(action), [this, receiver] {
        QMetaObject::invokeMethod(
            receiver, [this] { m_queue.runPending(); }, Qt::QueuedConnection);
    });
}

void QtDispatcher::serveUntil(const std::function<bool()>& done)
{
    while (!done()) {
        if (m_queue.runPending() == 0)
            m_queue.waitForPending();
    }
}

} // namespace tarnwick
