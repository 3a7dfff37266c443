#include "netlink/linux/Socket.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace tarnwick::netlink
{

namespace
{

// Large enough for any reply the kernel sends in one datagram (it sizes dump
// datagrams to the reader's buffer up to this, and a change's answer is short).
constexpr std::size_t kBufferSize = 64 * 1024;

std::string describe(const std::string& what, int code, const std::string& kernelMessage)
{
    std::string text = what + ": " + std::strerror(code);
    if (!kernelMessage.empty())
        text += " (" + kernelMessage + ")";
    return text;
}

[[noreturn]] void fail(int err, const char* what)
{
    throw NetlinkError(what, err);
}

} // namespace

NetlinkError::NetlinkError(const std::string& what, int code, std::string kernelMessage)
    : std::runtime_error(describe(what, code, kernelMessage))
    , m_code(code)
    , m_kernelMessage(std::move(kernelMessage))
{
}

Socket::Socket()
    : m_fd(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE))
    , m_buffer(new char[kBufferSize])
{
    if (m_fd < 0)
        fail(errno, "netlink connect");
    sockaddr_nl local {};
    local.nl_family = AF_NETLINK;
    socklen_t length = sizeof local;
    if (::bind(m_fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0
        || ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        const int err = errno;
        ::close(m_fd);
        fail(err, "netlink connect");
    }
    m_port = local.nl_pid;
    // Older kernels refuse these options: they then send every address (the
    // readers filter by interface themselves) and errors without reasons.
    int on = 1;
    (void)::setsockopt(m_fd, SOL_NETLINK, NETLINK_GET_STRICT_CHK, &on, sizeof on);
    (void)::setsockopt(m_fd, SOL_NETLINK, NETLINK_EXT_ACK, &on, sizeof on);
    // Errors without a copy of the request: only its header is needed.
    (void)::setsockopt(m_fd, SOL_NETLINK, NETLINK_CAP_ACK, &on, sizeof on);
}

Socket::~Socket()
{
    ::close(m_fd);
}

void Socket::send(const std::vector<char>& message)
{
    sockaddr_nl kernel {};
    kernel.nl_family = AF_NETLINK;
    for (;;) {
        const ssize_t n = ::sendto(m_fd, message.data(), message.size(), 0,
            reinterpret_cast<const sockaddr*>(&kernel), sizeof kernel);
        if (n >= 0)
            return;
        if (errno != EINTR)
            fail(errno, "netlink request");
    }
}

ChangeResult Socket::exchange(RequestKind kind, const std::function<void(const nlmsghdr&)>* visit)
{
    const char* what = kind == RequestKind::Dump ? "netlink dump" : "netlink change";
    for (;;) {
        sockaddr_nl from {};
        iovec io { m_buffer.get(), kBufferSize };
        msghdr msg {};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof from;
        msg.msg_iov = &io;
        msg.msg_iovlen = 1;
        const ssize_t n = ::recvmsg(m_fd, &msg, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(errno, what);
        }
        if (n == 0)
            fail(EPIPE, what);
        if (msg.msg_flags & MSG_TRUNC)
            fail(EMSGSIZE, what);
        if (from.nl_pid != 0)
            continue; // only the kernel answers requests; another process may not
        const ReplyOutcome outcome = walkReplies({ m_buffer.get(), static_cast<std::size_t>(n) }, m_seq,
            m_port, kind, visit ? *visit : std::function<void(const nlmsghdr&)>());
        switch (outcome.state) {
        case ReplyOutcome::State::More:
            continue;
        case ReplyOutcome::State::Done:
            return {};
        case ReplyOutcome::State::Failed:
            return { outcome.error, outcome.message };
        }
    }
}

void Socket::dump(const Request& request, const std::function<void(const nlmsghdr&)>& visit)
{
    send(buildMessage(request, NLM_F_DUMP, ++m_seq));
    const ChangeResult result = exchange(RequestKind::Dump, &visit);
    if (result.error != 0)
        throw NetlinkError("netlink dump", result.error, result.message);
}

ChangeResult Socket::change(const Request& request)
{
    send(buildMessage(request, NLM_F_ACK, ++m_seq));
    return exchange(RequestKind::Change, nullptr);
}

} // namespace tarnwick::netlink
