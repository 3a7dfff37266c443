// The netlink layer's parsing, on messages built here as the kernel packs
// them, then cut or bent the ways a reply must never be trusted.
#include "netlink/linux/Addresses.h"
#include "netlink/linux/Links.h"
#include "netlink/linux/Replies.h"
#include "netlink/linux/Routes.h"

#include <gtest/gtest.h>

#include <linux/if_addr.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

using namespace tarnwick;
using namespace tarnwick::netlink;

namespace
{

constexpr std::uint32_t kSeq = 41;
constexpr std::uint32_t kPort = 1234;

// Messages appended to one datagram, 4-byte aligned as the kernel sends them.
class Datagram
{
public:
    // A message of `type` with `payload` after its header; returns its offset.
    std::size_t add(int type, const void* payload, std::size_t size, int flags = 0, std::uint32_t seq = kSeq,
        std::uint32_t port = kPort)
    {
        const std::size_t at = m_bytes.size();
        nlmsghdr h {};
        h.nlmsg_len = static_cast<std::uint32_t>(NLMSG_LENGTH(size));
        h.nlmsg_type = static_cast<std::uint16_t>(type);
        h.nlmsg_flags = static_cast<std::uint16_t>(flags);
        h.nlmsg_seq = seq;
        h.nlmsg_pid = port;
        m_bytes.resize(at + NLMSG_SPACE(size));
        std::memcpy(m_bytes.data() + at, &h, sizeof h);
        if (size)
            std::memcpy(m_bytes.data() + at + NLMSG_HDRLEN, payload, size);
        return at;
    }
    // An address message of interface 3: header, IFA_LOCAL, optional IFA_CACHEINFO.
    void address(const char* dotted, int prefix, std::uint32_t valid, std::uint32_t seq = kSeq)
    {
        std::vector<char> p(NLMSG_ALIGN(sizeof(ifaddrmsg)));
        ifaddrmsg ifa {};
        ifa.ifa_family = AF_INET;
        ifa.ifa_prefixlen = static_cast<unsigned char>(prefix);
        ifa.ifa_index = 3;
        std::memcpy(p.data(), &ifa, sizeof ifa);
        in_addr ip {};
        ::inet_pton(AF_INET, dotted, &ip);
        attribute(p, IFA_LOCAL, &ip, 4);
        ifa_cacheinfo ci {};
        ci.ifa_valid = valid;
        attribute(p, IFA_CACHEINFO, &ci, sizeof ci);
        add(RTM_NEWADDR, p.data(), p.size(), NLM_F_MULTI, seq);
    }
    void done(int status = 0, int flags = NLM_F_MULTI) { add(NLMSG_DONE, &status, sizeof status, flags); }
    // An error answer: the negated errno, the request's header, then (with
    // NLM_F_ACK_TLVS) the kernel's message.
    void error(int err, const char* message = nullptr)
    {
        std::vector<char> p(sizeof(nlmsgerr));
        nlmsgerr e {};
        e.error = -err;
        e.msg.nlmsg_len = NLMSG_HDRLEN;
        e.msg.nlmsg_seq = kSeq;
        std::memcpy(p.data(), &e, sizeof e);
        p.resize(NLMSG_ALIGN(p.size()));
        if (message)
            attribute(p, NLMSGERR_ATTR_MSG, message, std::strlen(message) + 1);
        add(NLMSG_ERROR, p.data(), p.size(), NLM_F_CAPPED | (message ? NLM_F_ACK_TLVS : 0));
    }
    static void attribute(std::vector<char>& p, int type, const void* data, std::size_t size)
    {
        rtattr a {};
        a.rta_type = static_cast<unsigned short>(type);
        a.rta_len = static_cast<unsigned short>(RTA_LENGTH(size));
        const std::size_t at = p.size();
        p.resize(at + RTA_SPACE(size));
        std::memcpy(p.data() + at, &a, sizeof a);
        std::memcpy(p.data() + at + RTA_LENGTH(0), data, size);
    }
    std::span<const char> bytes() const { return { m_bytes.data(), m_bytes.size() }; }
    std::vector<char>& raw() { return m_bytes; }

private:
    std::vector<char> m_bytes;
};

struct Walked {
    ReplyOutcome outcome;
    std::vector<Address> addresses;
};

Walked walk(const Datagram& d, RequestKind kind = RequestKind::Dump)
{
    Walked w;
    w.outcome = walkReplies(d.bytes(), kSeq, kPort, kind, [&](const nlmsghdr& msg) {
        if (auto a = parseAddress(msg, 3))
            w.addresses.push_back(*a);
    });
    return w;
}

} // namespace

TEST(NetlinkReplies, ADumpEndsAtItsDoneAndTakesOnlyItsOwnAnswers)
{
    Datagram d;
    d.address("192.0.2.5", 24, 0xffffffffu);
    d.address("198.51.100.9", 25, 0xffffffffu, kSeq - 1); // a late answer to an earlier request
    d.address("192.0.2.77", 24, 3600);
    d.done();
    const Walked w = walk(d);
    EXPECT_EQ(w.outcome.state, ReplyOutcome::State::Done);
    ASSERT_EQ(w.addresses.size(), 2u);
    EXPECT_EQ(w.addresses[0], (Address { Ipv4::of(192, 0, 2, 5), 24, false })) << "no lifetime: static";
    EXPECT_EQ(w.addresses[1], (Address { Ipv4::of(192, 0, 2, 77), 24, true })) << "a lease's lifetime";

    Datagram more;
    more.address("192.0.2.5", 24, 0xffffffffu);
    EXPECT_EQ(walk(more).outcome.state, ReplyOutcome::State::More) << "no DONE yet: read on";
}

TEST(NetlinkReplies, ErrorsArriveWithTheKernelsOwnWords)
{
    struct Case {
        const char* name;
        Datagram datagram;
        RequestKind kind;
        ReplyOutcome::State state;
        int error;
        std::string message;
    };
    std::vector<Case> cases;
    {
        Datagram d;
        d.error(EEXIST, "Nexthop has invalid gateway");
        cases.push_back({ "refused change", d, RequestKind::Change, ReplyOutcome::State::Failed, EEXIST,
            "Nexthop has invalid gateway" });
    }
    {
        Datagram d;
        d.error(EINVAL);
        cases.push_back(
            { "refused without words", d, RequestKind::Change, ReplyOutcome::State::Failed, EINVAL, "" });
    }
    {
        Datagram d;
        d.error(0);
        cases.push_back({ "acknowledged", d, RequestKind::Change, ReplyOutcome::State::Done, 0, "" });
    }
    {
        Datagram d;
        d.address("192.0.2.5", 24, 0xffffffffu);
        d.done(-ENOBUFS);
        cases.push_back(
            { "an error inside DONE", d, RequestKind::Dump, ReplyOutcome::State::Failed, ENOBUFS, "" });
    }
    {
        Datagram d;
        d.done(0, NLM_F_MULTI | NLM_F_DUMP_INTR);
        cases.push_back({ "interrupted dump", d, RequestKind::Dump, ReplyOutcome::State::Failed, EAGAIN,
            "the table changed while it was read" });
    }
    {
        Datagram d;
        d.address("192.0.2.5", 24, 0xffffffffu);
        d.raw().resize(d.raw().size() - 8); // the datagram ends inside the message
        cases.push_back({ "cut short", d, RequestKind::Dump, ReplyOutcome::State::Failed, EBADMSG, "" });
    }
    {
        Datagram d;
        d.add(NLMSG_ERROR, nullptr, 0, 0, kSeq, kPort);
        cases.push_back(
            { "error without its header", d, RequestKind::Change, ReplyOutcome::State::Failed, EBADMSG, "" });
    }
    {
        Datagram d;
        const int status = -EPERM;
        d.add(NLMSG_ERROR, &status, sizeof status, 0, kSeq, kPort + 1); // someone else's answer
        cases.push_back(
            { "another socket's answer", d, RequestKind::Change, ReplyOutcome::State::More, 0, "" });
    }
    {
        Datagram d;
        d.done(-2147483647 - 1);
        cases.push_back(
            { "an error no kernel sends", d, RequestKind::Dump, ReplyOutcome::State::Failed, EBADMSG, "" });
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ReplyOutcome o = walk(c.datagram, c.kind).outcome;
        EXPECT_EQ(o.state, c.state);
        EXPECT_EQ(o.error, c.error);
        EXPECT_EQ(o.message, c.message);
    }
}

TEST(NetlinkRoutes, SinglePathAndMultipathDefaultRoutesOfOneLink)
{
    auto routeMessage = [](const std::vector<char>& attributes) {
        std::vector<char> p(NLMSG_ALIGN(sizeof(rtmsg)));
        rtmsg r {};
        r.rtm_family = AF_INET;
        r.rtm_table = RT_TABLE_MAIN;
        r.rtm_type = RTN_UNICAST;
        r.rtm_protocol = RTPROT_STATIC;
        std::memcpy(p.data(), &r, sizeof r);
        p.resize(p.size() + attributes.size());
        std::memcpy(p.data() + NLMSG_ALIGN(sizeof(rtmsg)), attributes.data(), attributes.size());
        Datagram d;
        d.add(RTM_NEWROUTE, p.data(), p.size(), NLM_F_MULTI);
        return d;
    };
    auto hop = [](const char* gateway, int ifindex) {
        std::vector<char> body;
        in_addr ip {};
        ::inet_pton(AF_INET, gateway, &ip);
        Datagram::attribute(body, RTA_GATEWAY, &ip, 4);
        rtnexthop nh {};
        nh.rtnh_len = static_cast<unsigned short>(sizeof nh + body.size());
        nh.rtnh_ifindex = ifindex;
        std::vector<char> out(sizeof nh + body.size());
        std::memcpy(out.data(), &nh, sizeof nh);
        std::memcpy(out.data() + sizeof nh, body.data(), body.size());
        return out;
    };
    std::vector<char> single;
    const std::uint32_t oif = 3, metric = 7;
    in_addr gw {};
    ::inet_pton(AF_INET, "192.0.2.1", &gw);
    Datagram::attribute(single, RTA_OIF, &oif, 4);
    Datagram::attribute(single, RTA_PRIORITY, &metric, 4);
    Datagram::attribute(single, RTA_GATEWAY, &gw, 4);
    const std::vector<char> theirs = hop("198.51.100.1", 4);
    const std::vector<char> ours = hop("192.0.2.9", 3);
    std::vector<char> hops(theirs.size() + ours.size());
    std::memcpy(hops.data(), theirs.data(), theirs.size());
    std::memcpy(hops.data() + theirs.size(), ours.data(), ours.size());
    std::vector<char> multi;
    Datagram::attribute(multi, RTA_MULTIPATH, hops.data(), hops.size());

    std::vector<DefaultRoute> found;
    for (const Datagram& d : { routeMessage(single), routeMessage(multi) })
        walkReplies(d.bytes(), kSeq, kPort, RequestKind::Dump,
            [&](const nlmsghdr& m) { parseDefaultRoutes(m, 3, found); });
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].gateway, Ipv4::of(192, 0, 2, 1));
    EXPECT_EQ(found[0].metric, 7);
    EXPECT_FALSE(found[0].multipath);
    EXPECT_EQ(found[1].gateway, Ipv4::of(192, 0, 2, 9)) << "only this link's next hop";
    EXPECT_TRUE(found[1].multipath);
}

TEST(NetlinkLinks, LinkLayerAddressText)
{
    const unsigned char ether[] = { 0x02, 0xfc, 0x00, 0x0a, 0xbc, 0xff };
    const unsigned char zero[] = { 0, 0, 0, 0, 0, 0 };
    const unsigned char tunnel[] = { 192, 0, 2, 1 };
    const unsigned char infiniband[20] = { 0x80, 0, 0, 0x48, 0xfe, 0x80 };
    EXPECT_EQ(linkAddressText(ether, sizeof ether), "02:fc:00:0a:bc:ff");
    EXPECT_EQ(linkAddressText(zero, sizeof zero), "") << "loopback's all-zero address is none";
    EXPECT_EQ(linkAddressText(ether, 0), "");
    EXPECT_EQ(linkAddressText(tunnel, sizeof tunnel), "192.0.2.1");
    EXPECT_EQ(linkAddressText(infiniband, sizeof infiniband),
        "80:00:00:48:fe:80:00:00:00:00:00:00:00:00:00:00:00:00:00:00");
}

// Attributes as the kernel packs them, then cut or bent the ways a reply
// must never be trusted: parsing stops at the first bad one.
TEST(NetlinkAttributes, KeepsWellFormedAttributesAndStopsAtABadLength)
{
    std::vector<unsigned char> buf;
    auto put = [&buf](unsigned short type, const void* data, unsigned short size) {
        rtattr a {};
        a.rta_type = type;
        a.rta_len = static_cast<unsigned short>(RTA_LENGTH(size));
        const std::size_t at = buf.size();
        buf.resize(at + RTA_SPACE(size));
        std::memcpy(buf.data() + at, &a, sizeof a);
        std::memcpy(buf.data() + at + RTA_LENGTH(0), data, size);
    };
    const std::uint32_t table = 254;
    put(RTA_TABLE, &table, sizeof table);
    put(RTA_GATEWAY, "\xc0\x00\x02\x01", 4);
    put(RTA_OIF, "\x07", 1); // shorter than its type

    const Attributes whole(buf.data(), buf.size(), RTA_MAX);
    EXPECT_EQ(whole.u32(RTA_TABLE), 254u);
    ASSERT_NE(whole[RTA_GATEWAY], nullptr);
    EXPECT_EQ(Attributes::size(*whole[RTA_GATEWAY]), 4u);
    EXPECT_EQ(whole.u32(RTA_OIF), std::nullopt);
    EXPECT_EQ(whole.u32(RTA_PRIORITY), std::nullopt);
    EXPECT_EQ(whole[RTA_MAX + 1], nullptr);
    EXPECT_EQ(whole[-1], nullptr);

    // Cut inside the second attribute: the first stays, the second is gone.
    const Attributes cut(buf.data(), 8 + 6, RTA_MAX);
    EXPECT_EQ(cut.u32(RTA_TABLE), 254u);
    EXPECT_EQ(cut[RTA_GATEWAY], nullptr);

    // A length beyond the buffer, or shorter than a header, ends the walk.
    for (unsigned short bad : { static_cast<unsigned short>(200), static_cast<unsigned short>(2) }) {
        std::vector<unsigned char> bent = buf;
        std::memcpy(bent.data(), &bad, sizeof bad);
        const Attributes b(bent.data(), bent.size(), RTA_MAX);
        EXPECT_EQ(b[RTA_TABLE], nullptr);
        EXPECT_EQ(b[RTA_GATEWAY], nullptr);
    }
}
