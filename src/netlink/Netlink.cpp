#include "netlink/Netlink.h"

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
    , m_buffer(new char[kBufferSize])
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

namespace
{

// Header, family header, then each attribute at its aligned place.
std::vector<char> buildMessage(int type, int flags, std::uint32_t seq, const void* header,
    std::size_t headerSize, const std::vector<RequestAttribute>& attributes)
{
    std::size_t size = NLMSG_SPACE(headerSize);
    for (const auto& a : attributes)
        size += RTA_SPACE(a.value.size());
    std::vector<char> msg(size);
    auto* h = reinterpret_cast<nlmsghdr*>(msg.data());
    h->nlmsg_len = static_cast<std::uint32_t>(NLMSG_LENGTH(headerSize));
    h->nlmsg_type = static_cast<std::uint16_t>(type);
    h->nlmsg_flags = static_cast<std::uint16_t>(flags | NLM_F_REQUEST);
    h->nlmsg_seq = seq;
    if (headerSize > 0)
        std::memcpy(msg.data() + NLMSG_HDRLEN, header, headerSize);
    for (const auto& a : attributes) {
        const std::size_t at = NLMSG_ALIGN(h->nlmsg_len);
        auto* rta = reinterpret_cast<rtattr*>(msg.data() + at);
        rta->rta_type = static_cast<unsigned short>(a.type);
        rta->rta_len = static_cast<unsigned short>(RTA_LENGTH(a.value.size()));
        if (!a.value.empty())
            std::memcpy(msg.data() + at + RTA_LENGTH(0), a.value.data(), a.value.size());
        h->nlmsg_len = static_cast<std::uint32_t>(at + RTA_LENGTH(a.value.size()));
    }
    msg.resize(h->nlmsg_len);
    return msg;
}

std::vector<char> dumpMessage(const DumpRequest& request, std::uint32_t seq)
{
    std::vector<RequestAttribute> attributes;
    for (const auto& [type, value] : request.filters)
        attributes.push_back(RequestAttribute::of(type, value));
    return buildMessage(request.type, NLM_F_DUMP, seq, request.header, request.headerSize, attributes);
}

} // namespace

void NetlinkSocket::send(const std::vector<char>& message)
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

void NetlinkSocket::readAnswers(const char* what, const std::function<bool(const nlmsghdr&)>& handle)
{
    for (;;) {
        const ssize_t n = ::recv(m_fd, m_buffer.get(), kBufferSize, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(errno, what);
        }
        if (n == 0)
            fail(EPIPE, what);
        std::size_t left = static_cast<std::size_t>(n);
        const char* at = m_buffer.get();
        while (left >= sizeof(nlmsghdr)) {
            const auto* h = reinterpret_cast<const nlmsghdr*>(at);
            if (h->nlmsg_len < sizeof(nlmsghdr) || h->nlmsg_len > left)
                fail(EBADMSG, what);
            const std::size_t step = std::min<std::size_t>(NLMSG_ALIGN(h->nlmsg_len), left);
            at += step;
            left -= step;
            if (h->nlmsg_seq != m_seq)
                continue; // a late answer to an earlier, failed request
            if (handle(*h))
                return;
        }
    }
}

namespace
{

int errorOf(const nlmsghdr& msg)
{
    const auto* e = static_cast<const nlmsgerr*>(familyHeader(msg, sizeof(nlmsgerr)));
    return e ? -e->error : EBADMSG;
}

} // namespace

int NetlinkSocket::change(const ChangeRequest& request)
{
    send(buildMessage(request.type, request.flags | NLM_F_ACK, ++m_seq, request.header, request.headerSize,
        request.attributes));
    int err = 0;
    readAnswers("netlink change", [&](const nlmsghdr& h) {
        if (h.nlmsg_type != NLMSG_ERROR)
            return false;
        err = errorOf(h);
        return true;
    });
    return err;
}

void NetlinkSocket::receive(const std::function<void(const nlmsghdr&)>* visit)
{
    readAnswers("netlink dump", [&](const nlmsghdr& h) {
        if (h.nlmsg_type == NLMSG_DONE) {
            if (h.nlmsg_flags & NLM_F_DUMP_INTR)
                fail(EAGAIN, "netlink dump interrupted");
            return true;
        }
        if (h.nlmsg_type == NLMSG_ERROR) {
            if (const int err = errorOf(h); err != 0)
                fail(err, "netlink dump");
            return false; // an acknowledgement
        }
        if (h.nlmsg_flags & NLM_F_DUMP_INTR)
            fail(EAGAIN, "netlink dump interrupted");
        if (h.nlmsg_type >= NLMSG_MIN_TYPE && visit)
            (*visit)(h); // below: no-op and the like
        return false;
    });
}

void NetlinkSocket::dumpEach(const DumpRequest& request, const std::function<void(const nlmsghdr&)>& visit)
{
    send(dumpMessage(request, ++m_seq));
    receive(&visit);
}

void NetlinkSocket::dumpDiscard(const DumpRequest& request)
{
    send(dumpMessage(request, ++m_seq));
    receive(nullptr);
}

} // namespace tarnwick::linuxnet
