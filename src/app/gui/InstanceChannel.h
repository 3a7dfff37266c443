#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace tarnwick::gui
{

// The running instance's end of the hand-over: a second start that was given
// a quick-switch file passes its path here instead of starting a window; one
// without a file sends an empty line, asking for the window to the front.
class InstanceChannel : public QObject
{
    Q_OBJECT
public:
    explicit InstanceChannel(QObject* parent = nullptr);
    // Stops listening; the server removes its socket file.
    ~InstanceChannel() override;

    // Listens on the socket path; only the lock holder calls this, so a file
    // left there by a crashed instance is removed first.
    bool listen(const QString& socketPath);

    // A second start's side: sends the path, true when the running instance
    // took it.
    static bool handOver(const QString& socketPath, const QString& quickSwitchPath, int timeoutMs = 3000);
    // A second start without a file: true when the running instance took the
    // request to show its window.
    static bool requestRaise(const QString& socketPath, int timeoutMs = 3000);

signals:
    void quickSwitchReceived(const QString& path);
    void raiseRequested();

private:
    void acceptPending();
    static bool send(const QString& socketPath, const QByteArray& line, int timeoutMs);

    QLocalServer* m_server;
};

} // namespace tarnwick::gui
