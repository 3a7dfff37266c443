#include "adapters/linux/Netlink.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

namespace tarnwick::linuxnet
{

namespace
{

// Large enough for any dump reply the kernel sends in one datagram.
constexpr std::size_t kBufferSize = 64 * 1024;

[[noreturn]] void fail(int err, const char* what)
{
    throw std::system_error(std::error_code(err, std::generic_category()), what);
}

const char* bytes(const void* p)
{
    return static_cast<const char*>(p);
}

} // namespace

NetlinkAttributes::NetlinkAttributes(const void* data, std::size_t size, int maxType)
    : m_byType(static_cast<std::size_t>(maxType) + 1, nullptr)
{
    std::size_t at = 0;
    while (at + sizeof(rtattr) <= size) {
        const auto* a = reinterpret_cast<const rtattr*>(bytes(data) + at);
        if (a->rta_len < sizeof(rtattr) || a->rta_len > size - at)
            break;
        const int type = a->rta_type & NLA_TYPE_MASK;
        if (type <= maxType)
            m_byType[static_cast<std::size_t>(type)] = a;
        at += RTA_ALIGN(a->rta_len);
    }
}

const rtattr* NetlinkAttributes::operator[](int type) const
{
    if (type < 0 || static_cast<std::size_t>(type) >= m_byType.size())
        return nullptr;
    return m_byType[static_cast<std::size_t>(type)];
}

const void* NetlinkAttributes::data(const rtattr& a)
{
    return bytes(&a) + RTA_LENGTH(0);
}

std::size_t NetlinkAttributes::size(const rtattr& a)
{
    return a.rta_len - RTA_LENGTH(0);
}

std::optional<std::uint32_t> NetlinkAttributes::u32(int type) const
{
    const rtattr* a = (*this)[type];
    if (!a || size(*a) < sizeof(std::uint32_t))
        return std::nullopt;
    std::uint32_t v = 0;
    std::memcpy(&v, data(*a), sizeof v);
    return v;
}

std::string NetlinkAttributes::text(int type) const
{
    const rtattr* a = (*this)[type];
    if (!a)
        return {};
    const char* s = bytes(data(*a));
    return std::string(s, ::strnlen(s, size(*a)));
}

const void* familyHeader(const nlmsghdr& msg, std::size_t headerSize)
{
    if (msg.nlmsg_len < NLMSG_LENGTH(headerSize))
        return nullptr;
    return bytes(&msg) + NLMSG_HDRLEN;
}

NetlinkAttributes messageAttributes(const nlmsghdr& msg, std::size_t headerSize, int maxType)
{
    if (!familyHeader(msg, headerSize))
        return NetlinkAttributes(nullptr, 0, maxType);
    const std::size_t start = NLMSG_HDRLEN + NLMSG_ALIGN(headerSize);
    if (msg.nlmsg_len < start)
        return NetlinkAttributes(nullptr, 0, maxType);
    return NetlinkAttributes(bytes(&msg) + start, msg.nlmsg_len - start, maxType);
}

NetlinkSocket::NetlinkSocket()
    : m_fd(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE))
    , m_buffer(kBufferSize)
{
    if (m_fd < 0)
        fail(errno, "netlink connect");
    sockaddr_nl local {};
    local.nl_family = AF_NETLINK;
    if (::bind(m_fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        const int err = errno;
        ::close(m_fd);
        fail(err, "netlink connect");
    }
    // Older kernels refuse the option; they then send every address and the
    // readers filter by interface themselves, so the answer is not needed.
    int on = 1;
    (void)::setsockopt(m_fd, SOL_NETLINK, NETLINK_GET_STRICT_CHK, &on, sizeof on);
}

NetlinkSocket::~NetlinkSocket()
{
    ::close(m_fd);
}

void NetlinkSocket::send(const DumpRequest& request)
{
    std::vector<char> msg(NLMSG_SPACE(request.headerSize) + request.filters.size() * RTA_SPACE(4));
    auto* h = reinterpret_cast<nlmsghdr*>(msg.data());
    h->nlmsg_len = static_cast<std::uint32_t>(NLMSG_LENGTH(request.headerSize));
    h->nlmsg_type = static_cast<std::uint16_t>(request.type);
    h->nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    h->nlmsg_seq = ++m_seq;
    if (request.headerSize > 0)
        std::memcpy(msg.data() + NLMSG_HDRLEN, request.header, request.headerSize);
    for (const auto& [type, value] : request.filters) {
        const std::size_t at = NLMSG_ALIGN(h->nlmsg_len);
        auto* a = reinterpret_cast<rtattr*>(msg.data() + at);
        a->rta_type = static_cast<unsigned short>(type);
        a->rta_len = static_cast<unsigned short>(RTA_LENGTH(sizeof value));
        std::memcpy(msg.data() + at + RTA_LENGTH(0), &value, sizeof value);
        h->nlmsg_len = static_cast<std::uint32_t>(at + RTA_SPACE(sizeof value));
    }
    sockaddr_nl kernel {};
    kernel.nl_family = AF_NETLINK;
    for (;;) {
        const ssize_t n = ::sendto(
            m_fd, msg.data(), h->nlmsg_len, 0, reinterpret_cast<const sockaddr*>(&kernel), sizeof kernel);
        if (n >= 0)
            return;
        if (errno != EINTR)
            fail(errno, "netlink dump request");
    }
}

void NetlinkSocket::receive(const std::function<void(const nlmsghdr&)>* visit)
{
    for (;;) {
        const ssize_t n = ::recv(m_fd, m_buffer.data(), m_buffer.size(), 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(errno, "netlink dump");
        }
        if (n == 0)
            fail(EPIPE, "netlink dump");
        std::size_t left = static_cast<std::size_t>(n);
        const char* at = m_buffer.data();
        while (left >= sizeof(nlmsghdr)) {
            const auto* h = reinterpret_cast<const nlmsghdr*>(at);
            if (h->nlmsg_len < sizeof(nlmsghdr) || h->nlmsg_len > left)
                fail(EBADMSG, "netlink dump");
            const std::size_t step = std::min<std::size_t>(NLMSG_ALIGN(h->nlmsg_len), left);
            at += step;
            left -= step;
            if (h->nlmsg_seq != m_seq)
                continue; // a late answer to an earlier, failed request
            if (h->nlmsg_type == NLMSG_DONE) {
                if (h->nlmsg_flags & NLM_F_DUMP_INTR)
                    fail(EAGAIN, "netlink dump interrupted");
                return;
            }
            if (h->nlmsg_type == NLMSG_ERROR) {
                const auto* e = static_cast<const nlmsgerr*>(familyHeader(*h, sizeof(nlmsgerr)));
                const int err = e ? -e->error : EBADMSG;
                if (err == 0)
                    continue; // an acknowledgement
                fail(err, "netlink dump");
            }
            if (h->nlmsg_flags & NLM_F_DUMP_INTR)
                fail(EAGAIN, "netlink dump interrupted");
            if (h->nlmsg_type < NLMSG_MIN_TYPE)
                continue; // no-op and the like
            if (visit)
                (*visit)(*h);
        }
    }
}

void NetlinkSocket::dumpEach(const DumpRequest& request, const std::function<void(const nlmsghdr&)>& visit)
{
    send(request);
    receive(&visit);
}

void NetlinkSocket::dumpDiscard(const DumpRequest& request)
{
    send(request);
    receive(nullptr);
}

} // namespace tarnwick::linuxnet
