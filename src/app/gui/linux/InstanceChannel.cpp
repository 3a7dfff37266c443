#include "app/gui/InstanceChannel.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

// A Unix-domain stream socket watched by the event loop: plain sockets keep
// the Qt network library (and the libraries it pulls in) out of the start.
namespace tarnwick::gui
{

namespace
{

constexpr std::size_t kMaxPathBytes = 64 * 1024;

bool socketAddress(const QString& path, sockaddr_un& address)
{
    const QByteArray bytes = path.toLocal8Bit();
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (bytes.isEmpty() || static_cast<std::size_t>(bytes.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    return true;
}

const sockaddr* asSockaddr(const sockaddr_un& address)
{
    return reinterpret_cast<const sockaddr*>(&address);
}

int remainingMs(std::chrono::steady_clock::time_point deadline)
{
    const auto left
        = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<long long>(0, left.count()));
}

// Sends all of `data` before the deadline.
bool sendAll(int fd, const QByteArray& data, std::chrono::steady_clock::time_point deadline)
{
    std::size_t sent = 0;
    const auto size = static_cast<std::size_t>(data.size());
    while (sent < size) {
        const ssize_t n = ::send(fd, data.constData() + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        pollfd p { fd, POLLOUT, 0 };
        if (::poll(&p, 1, remainingMs(deadline)) <= 0)
            return false;
    }
    return true;
}

struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
};

// One connection of a second start: reads one line, answers "ok" and closes.
struct Connection {
    int fd = -1;
    QSocketNotifier* notifier = nullptr;
    QByteArray received;

    ~Connection()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

InstanceChannel::InstanceChannel(QObject* parent)
    : QObject(parent)
{
}

InstanceChannel::~InstanceChannel()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        ::unlink(m_path.toLocal8Bit().constData());
    }
}

bool InstanceChannel::listen(const QString& socketPath)
{
    sockaddr_un address;
    if (m_fd >= 0 || !socketAddress(socketPath, address))
        return false;
    // Only the lock holder listens, so a socket file left by a crashed
    // instance is stale.
    ::unlink(address.sun_path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    // Only this user may connect: the socket is created without group or
    // other rights.
    const mode_t old = ::umask(077);
    const bool bound = ::bind(fd, asSockaddr(address), sizeof address) == 0;
    ::umask(old);
    if (!bound || ::listen(fd, 8) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_path = socketPath;
    auto* incoming = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(incoming, &QSocketNotifier::activated, this, [this] { acceptPending(); });
    return true;
}

void InstanceChannel::acceptPending()
{
    for (;;) {
        const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        auto connection = std::make_shared<Connection>();
        connection->fd = fd;
        connection->notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        // The notifier's slot holds the connection; deleting the notifier ends both.
        connect(connection->notifier, &QSocketNotifier::activated, this, [this, connection] {
            const auto finish = [&connection] {
                connection->notifier->setEnabled(false);
                connection->notifier->deleteLater();
            };
            char buffer[4096];
            const ssize_t n = ::recv(connection->fd, buffer, sizeof buffer, 0);
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                return;
            if (n <= 0) { // closed before a whole line came
                finish();
                return;
            }
            connection->received.append(buffer, n);
            // One line: the UTF-8 path, ended by a newline; anything longer is dropped.
            const qsizetype end = connection->received.indexOf('\n');
            if (end < 0) {
                if (static_cast<std::size_t>(connection->received.size()) > kMaxPathBytes)
                    finish();
                return;
            }
            const QString path = QString::fromUtf8(connection->received.left(end)).trimmed();
            ::send(connection->fd, "ok\n", 3, MSG_NOSIGNAL | MSG_DONTWAIT);
            finish();
            if (!path.isEmpty())
                emit quickSwitchReceived(path);
        });
    }
}

bool InstanceChannel::handOver(const QString& socketPath, const QString& quickSwitchPath, int timeoutMs)
{
    sockaddr_un address;
    if (!socketAddress(socketPath, address))
        return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    // The running instance may still be coming up: retry until the deadline.
    for (;;) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return false;
        const FdCloser closer { fd };
        if (::connect(fd, asSockaddr(address), sizeof address) == 0) {
            if (!sendAll(fd, quickSwitchPath.toUtf8() + '\n', deadline))
                return false;
            QByteArray reply;
            while (!reply.contains('\n')) {
                pollfd p { fd, POLLIN, 0 };
                if (::poll(&p, 1, remainingMs(deadline)) <= 0)
                    return false;
                char buffer[64];
                const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
                if (n <= 0)
                    return false;
                reply.append(buffer, n);
            }
            return reply.left(reply.indexOf('\n')).trimmed() == "ok";
        }
        if (remainingMs(deadline) == 0)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(100, remainingMs(deadline))));
    }
}

} // namespace tarnwick::gui
