#include "app/gui/InstanceChannel.h"

#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

namespace tarnwick::gui
{

namespace
{

constexpr qsizetype kMaxPathBytes = 64 * 1024;

} // namespace

InstanceChannel::InstanceChannel(QObject* parent)
    : QObject(parent)
    , m_server(new QLocalServer(this))
{
    // Only this user may connect.
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &InstanceChannel::acceptPending);
}

InstanceChannel::~InstanceChannel() = default;

bool InstanceChannel::listen(const QString& socketPath)
{
    // Only the lock holder listens, so a socket file left by a crashed
    // instance is stale.
    QLocalServer::removeServer(socketPath);
    return m_server->listen(socketPath);
}

void InstanceChannel::acceptPending()
{
    while (QLocalSocket* connection = m_server->nextPendingConnection()) {
        connect(connection, &QLocalSocket::disconnected, connection, &QObject::deleteLater);
        // One line: the UTF-8 path, ended by a newline; anything longer is
        // dropped. An empty line asks for the window.
        connect(connection, &QLocalSocket::readyRead, this, [this, connection] {
            const QByteArray pending = connection->peek(kMaxPathBytes + 1);
            const qsizetype end = pending.indexOf('\n');
            if (end < 0) {
                if (pending.size() > kMaxPathBytes)
                    connection->abort();
                return;
            }
            const QString path = QString::fromUtf8(connection->read(end + 1)).trimmed();
            connection->write("ok\n");
            connection->disconnectFromServer();
            if (path.isEmpty())
                emit raiseRequested();
            else
                emit quickSwitchReceived(path);
        });
    }
}

bool InstanceChannel::handOver(const QString& socketPath, const QString& quickSwitchPath, int timeoutMs)
{
    // A blank path would read as a raise request: nothing to hand over.
    if (quickSwitchPath.trimmed().isEmpty())
        return false;
    return send(socketPath, quickSwitchPath.toUtf8() + '\n', timeoutMs);
}

bool InstanceChannel::requestRaise(const QString& socketPath, int timeoutMs)
{
    return send(socketPath, QByteArrayLiteral("\n"), timeoutMs);
}

bool InstanceChannel::send(const QString& socketPath, const QByteArray& line, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    // The running instance may still be coming up: retry until the deadline.
    for (;;) {
        socket.connectToServer(socketPath);
        if (socket.waitForConnected(static_cast<int>(deadline.remainingTime())))
            break;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(static_cast<unsigned long>(std::min<qint64>(100, deadline.remainingTime())));
    }
    socket.write(line);
    if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime())))
        return false;
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            return false;
    }
    return socket.readLine().trimmed() == "ok";
}

} // namespace tarnwick::gui
