#include "app/gui/InstanceChannel.h"

#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

namespace tarnwick::gui
{

namespace
{
constexpr qint64 kMaxPathBytes = 64 * 1024;
}

InstanceChannel::InstanceChannel(QObject* parent)
    : QObject(parent)
    , m_server(new QLocalServer(this))
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            // One line: the UTF-8 path, ended by a newline; anything longer is dropped.
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->bytesAvailable() > kMaxPathBytes) {
                    socket->abort();
                    return;
                }
                if (!socket->canReadLine())
                    return;
                const QString path = QString::fromUtf8(socket->readLine()).trimmed();
                socket->write("ok\n");
                socket->flush();
                socket->disconnectFromServer();
                if (!path.isEmpty())
                    emit quickSwitchReceived(path);
            });
        }
    });
}

bool InstanceChannel::listen(const QString& socketPath)
{
    QLocalServer::removeServer(socketPath);
    return m_server->listen(socketPath);
}

bool InstanceChannel::handOver(const QString& socketPath, const QString& quickSwitchPath, int timeoutMs)
{
    // The running instance may still be coming up: retry until the deadline.
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(socketPath);
        if (socket.waitForConnected(500)) {
            socket.write(quickSwitchPath.toUtf8() + '\n');
            if (!socket.waitForBytesWritten(1000))
                return false;
            while (!socket.canReadLine()) {
                if (!socket.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime()))))
                    return false;
            }
            return socket.readLine().trimmed() == "ok";
        }
        QThread::msleep(100);
    }
    return false;
}

} // namespace tarnwick::gui
