#include "apply/linux/LinuxIcmpNetwork.h"

#include "apply/linux/UniqueFd.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <linux/errqueue.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

namespace tarnwick
{

namespace
{

using Clock = std::chrono::steady_clock;

[[noreturn]] void throwErrno(int code, const std::string& what)
{
    throw std::system_error(code, std::generic_category(), what);
}

sockaddr_in toSockaddr(const Ipv4& a)
{
    sockaddr_in sa {};
    sa.sin_family = AF_INET;
    const auto bytes = a.bytes();
    std::memcpy(&sa.sin_addr, bytes.data(), 4);
    return sa;
}

// A minimal IPv4 header in front of what a ping socket hands us, so both
// socket kinds feed the same examination.
std::vector<std::uint8_t> withIpHeader(const Ipv4& from, std::uint8_t ttl, std::span<const std::uint8_t> icmp)
{
    std::vector<std::uint8_t> d(20 + icmp.size());
    d[0] = 0x45;
    const auto total = static_cast<std::uint16_t>(std::min<std::size_t>(d.size(), 0xffff));
    d[2] = static_cast<std::uint8_t>(total >> 8);
    d[3] = static_cast<std::uint8_t>(total & 0xff);
    d[8] = ttl;
    d[9] = IPPROTO_ICMP;
    const auto bytes = from.bytes();
    std::copy(bytes.begin(), bytes.end(), d.begin() + 12);
    std::copy(icmp.begin(), icmp.end(), d.begin() + 20);
    return d;
}

Ipv4 fromSockaddr(const sockaddr_in& sa)
{
    std::uint8_t bytes[4];
    std::memcpy(bytes, &sa.sin_addr, 4);
    return Ipv4::fromBytes(bytes);
}

// Polls for `events` until the deadline; the revents, or 0 on time-out.
short waitFor(int fd, short events, Clock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p { fd, events, 0 };
        const int r = ::poll(&p, 1, static_cast<int>(std::max<long long>(left, 0)));
        if (r > 0)
            return p.revents;
        if (r == 0)
            return 0;
        if (errno != EINTR)
            throwErrno(errno, "cannot wait on the ICMP socket");
    }
}

class SocketBase : public IcmpSocket
{
public:
    explicit SocketBase(int fd)
        : m_fd(fd)
    {
    }

    void send(std::span<const std::uint8_t> packet, const Ipv4& to) override
    {
        const sockaddr_in sa = toSockaddr(to);
        ssize_t n;
        do {
            n = ::sendto(m_fd.get(), packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&sa),
                sizeof sa);
        } while (n < 0 && errno == EINTR);
        if (n < 0)
            throwErrno(errno, "cannot send the echo request to " + formatIpv4(to));
        if (static_cast<std::size_t>(n) != packet.size())
            throwErrno(EIO, "echo request to " + formatIpv4(to) + " sent only in part");
    }

protected:
    sys::UniqueFd m_fd;
};

// Receives every ICMP message of the host, IP header included.
class RawSocket : public SocketBase
{
public:
    using SocketBase::SocketBase;

    std::optional<std::vector<std::uint8_t>> receive(int timeoutMs) override
    {
        if (waitFor(m_fd.get(), POLLIN, Clock::now() + std::chrono::milliseconds(timeoutMs)) == 0)
            return std::nullopt;
        std::vector<std::uint8_t> buf(1024);
        ssize_t n;
        do {
            n = ::recv(m_fd.get(), buf.data(), buf.size(), 0);
        } while (n < 0 && errno == EINTR);
        if (n < 0)
            throwErrno(errno, "cannot receive on the ICMP socket");
        buf.resize(static_cast<std::size_t>(n));
        return buf;
    }
};

// Receives only the answers to its own requests, without IP header; ICMP
// errors about them come through the error queue.
class DatagramSocket : public SocketBase
{
public:
    explicit DatagramSocket(int fd)
        : SocketBase(fd)
    {
        const int on = 1;
        ::setsockopt(m_fd.get(), SOL_IP, IP_RECVERR, &on, sizeof on);
        ::setsockopt(m_fd.get(), SOL_IP, IP_RECVTTL, &on, sizeof on);
    }

    void send(std::span<const std::uint8_t> packet, const Ipv4& to) override
    {
        m_target = to;
        SocketBase::send(packet, to);
    }

    std::optional<std::vector<std::uint8_t>> receive(int timeoutMs) override
    {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const short revents = waitFor(m_fd.get(), POLLIN, deadline);
            if (revents == 0)
                return std::nullopt;
            if (revents & POLLERR) {
                if (auto error = readError())
                    return error;
                continue; // a local error that answers nothing
            }
            return readAnswer();
        }
    }

private:
    // One recvmsg into `data`, with room for ancillary data; retried on EINTR.
    // `msg` stays valid for walking the control messages afterwards.
    ssize_t receive(msghdr& msg, std::uint8_t* data, std::size_t size, char* control, std::size_t controlSize,
        sockaddr_in& peer, int flags)
    {
        iovec iov { data, size };
        msg.msg_name = &peer;
        msg.msg_namelen = sizeof peer;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = controlSize;
        ssize_t n;
        do {
            n = ::recvmsg(m_fd.get(), &msg, flags);
        } while (n < 0 && errno == EINTR);
        msg.msg_iov = nullptr; // iov dies here; only the control part is read later
        msg.msg_iovlen = 0;
        return n;
    }

    std::vector<std::uint8_t> readAnswer()
    {
        std::uint8_t buf[1024];
        alignas(cmsghdr) char control[256];
        sockaddr_in from {};
        msghdr msg {};
        const ssize_t n = receive(msg, buf, sizeof buf, control, sizeof control, from, 0);
        if (n < 0)
            throwErrno(errno, "cannot receive on the ICMP socket");
        std::uint8_t ttl = 0;
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level == SOL_IP && c->cmsg_type == IP_TTL) {
                int value = 0;
                std::memcpy(&value, CMSG_DATA(c), sizeof value);
                ttl = static_cast<std::uint8_t>(value);
            }
        }
        return withIpHeader(fromSockaddr(from), ttl, { buf, static_cast<std::size_t>(n) });
    }

    // The kernel took the ICMP error apart; put the message back together as
    // it came off the wire: its header, then the quoted request behind a
    // 20-byte IP header.
    std::optional<std::vector<std::uint8_t>> readError()
    {
        std::uint8_t quoted[1024];
        alignas(cmsghdr) char control[512];
        sockaddr_in dest {};
        msghdr msg {};
        const ssize_t n = receive(msg, quoted, sizeof quoted, control, sizeof control, dest, MSG_ERRQUEUE);
        if (n < 0) {
            if (errno == EAGAIN)
                return std::nullopt;
            throwErrno(errno, "cannot read the ICMP socket's error queue");
        }
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level != SOL_IP || c->cmsg_type != IP_RECVERR)
                continue;
            sock_extended_err err {};
            std::memcpy(&err, CMSG_DATA(c), sizeof err);
            if (err.ee_origin != SO_EE_ORIGIN_ICMP)
                return std::nullopt;
            sockaddr_in offender {};
            std::memcpy(&offender, SO_EE_OFFENDER(reinterpret_cast<sock_extended_err*>(CMSG_DATA(c))),
                sizeof offender);
            std::vector<std::uint8_t> icmp(8 + 20);
            icmp[0] = err.ee_type;
            icmp[1] = err.ee_code;
            icmp[8] = 0x45; // the quoted IP header
            icmp[8 + 9] = IPPROTO_ICMP;
            const auto target = m_target.bytes();
            std::copy(target.begin(), target.end(), icmp.begin() + 8 + 16);
            icmp.insert(icmp.end(), quoted, quoted + n);
            return withIpHeader(fromSockaddr(offender), 0, icmp);
        }
        return std::nullopt;
    }

    Ipv4 m_target {};
};

} // namespace

std::unique_ptr<IcmpSocket> LinuxIcmpNetwork::open(int ttl)
{
    std::unique_ptr<IcmpSocket> socket;
    int fd = -1;
    int rawError = 0;
    if (m_kind != IcmpSocketKind::Datagram) {
        fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
        if (fd >= 0)
            socket = std::make_unique<RawSocket>(fd);
        else if (m_kind == IcmpSocketKind::Raw || (errno != EPERM && errno != EACCES))
            throwErrno(errno, "cannot open a raw ICMP socket");
        else
            rawError = errno;
    }
    if (!socket) {
        fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
        if (fd < 0) {
            const int e = errno;
            throwErrno(e,
                rawError ? "cannot open an ICMP socket (raw: " + std::string(std::strerror(rawError))
                        + "; ping socket)"
                         : "cannot open an ICMP ping socket");
        }
        socket = std::make_unique<DatagramSocket>(fd);
    }
    if (::setsockopt(fd, SOL_IP, IP_TTL, &ttl, sizeof ttl) != 0)
        throwErrno(errno, "cannot set the time to live of the ICMP socket");
    return socket;
}

Ipv4 LinuxIcmpNetwork::resolve(const std::string& name)
{
    addrinfo hints {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_RAW;
    addrinfo* found = nullptr;
    const int rc = ::getaddrinfo(name.c_str(), nullptr, &hints, &found);
    if (rc != 0 || !found)
        throw IcmpLookupError("cannot find the host " + name + ": " + ::gai_strerror(rc));
    Ipv4 a = fromSockaddr(*reinterpret_cast<const sockaddr_in*>(found->ai_addr));
    ::freeaddrinfo(found);
    return a;
}

std::uint16_t LinuxIcmpNetwork::processId()
{
    return static_cast<std::uint16_t>(::getpid() & 0xffff);
}

std::unique_ptr<IcmpNetwork> makeSystemIcmpNetwork()
{
    return std::make_unique<LinuxIcmpNetwork>();
}

} // namespace tarnwick
