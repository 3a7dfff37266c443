#pragma once

#include "base/MessageSink.h"

#include <QApplication>

namespace tarnwick::gui
{

// The application with its general error handler: an error that no handler
// caught ends that event's handling and its text is shown in a message box,
// instead of unwinding through Qt's event loop (which Qt does not survive).
class GuardedApplication : public QApplication
{
    Q_OBJECT
public:
    GuardedApplication(int& argc, char** argv);

    // Where the errors are shown; the application's message boxes when null.
    void setErrorSink(MessageSink* sink) { m_sink = sink; }

    bool notify(QObject* receiver, QEvent* event) override;

private:
    void report(const std::string& text);

    MessageSink* m_sink = nullptr;
};

} // namespace tarnwick::gui
