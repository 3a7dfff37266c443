#include "netlink/linux/Attributes.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>

#include <cstring>

namespace tarnwick::netlink
{

namespace
{

const char* bytes(const void* p)
{
    return static_cast<const char*>(p);
}

} // namespace

Attributes::Attributes(const void* data, std::size_t size, int maxType)
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

const rtattr* Attributes::operator[](int type) const
{
    if (type < 0 || static_cast<std::size_t>(type) >= m_byType.size())
        return nullptr;
    return m_byType[static_cast<std::size_t>(type)];
}

const void* Attributes::data(const rtattr& a)
{
    return bytes(&a) + RTA_LENGTH(0);
}

std::size_t Attributes::size(const rtattr& a)
{
    return a.rta_len - RTA_LENGTH(0);
}

std::optional<std::uint32_t> Attributes::u32(int type) const
{
    const rtattr* a = (*this)[type];
    if (!a || size(*a) != sizeof(std::uint32_t))
        return std::nullopt;
    std::uint32_t v = 0;
    std::memcpy(&v, data(*a), sizeof v);
    return v;
}

std::string Attributes::text(int type) const
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

Attributes messageAttributes(const nlmsghdr& msg, std::size_t headerSize, int maxType)
{
    const std::size_t start = NLMSG_HDRLEN + NLMSG_ALIGN(headerSize);
    if (!familyHeader(msg, headerSize) || msg.nlmsg_len < start)
        return Attributes(nullptr, 0, maxType);
    return Attributes(bytes(&msg) + start, msg.nlmsg_len - start, maxType);
}

std::vector<char> buildMessage(const Request& request, int extraFlags, std::uint32_t seq)
{
    std::size_t size = NLMSG_SPACE(request.headerSize);
    for (const auto& a : request.attributes)
        size += RTA_SPACE(a.value.size());
    std::vector<char> msg(size);
    auto* h = reinterpret_cast<nlmsghdr*>(msg.data());
    h->nlmsg_len = static_cast<std::uint32_t>(NLMSG_LENGTH(request.headerSize));
    h->nlmsg_type = static_cast<std::uint16_t>(request.type);
    h->nlmsg_flags = static_cast<std::uint16_t>(request.flags | extraFlags | NLM_F_REQUEST);
    h->nlmsg_seq = seq;
    if (request.headerSize > 0)
        std::memcpy(msg.data() + NLMSG_HDRLEN, request.header, request.headerSize);
    for (const auto& a : request.attributes) {
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

} // namespace tarnwick::netlink
