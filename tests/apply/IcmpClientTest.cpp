#include "FakeIcmp.h"

#include "apply/IcmpPacket.h"
#include "apply/TIdIcmpClient.h"

#include <gtest/gtest.h>

using namespace tarnwick;
using namespace tarnwick::test;

namespace
{

// The textbook algorithm over big-endian words, to check ours against.
std::uint16_t referenceChecksum(const std::vector<std::uint8_t>& b)
{
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < b.size(); i += 2)
        sum += static_cast<std::uint32_t>(b[i] << 8 | b[i + 1]);
    while (sum >> 16)
        sum = (sum & 0xffff) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}

} // namespace

TEST(EchoRequest, IsLaidOutByteForByte)
{
    const EchoRequest r = buildEchoRequest(0x1234, 3489, 0x01020304);
    ASSERT_EQ(r.size(), 52u);
    EXPECT_EQ(r[0], 8);
    EXPECT_EQ(r[1], 0);
    EXPECT_EQ(r[4], 0x34); // identifier, low byte first
    EXPECT_EQ(r[5], 0x12);
    EXPECT_EQ(r[6], 0xa1); // 3489 = 0x0da1, low byte first
    EXPECT_EQ(r[7], 0x0d);
    EXPECT_EQ(r[8], 0x04); // tick count, low byte first
    EXPECT_EQ(r[9], 0x03);
    EXPECT_EQ(r[10], 0x02);
    EXPECT_EQ(r[11], 0x01);
    for (int i = 12; i < 20; ++i)
        EXPECT_EQ(r[static_cast<std::size_t>(i)], 0) << i;
    for (int i = 20; i < 52; ++i)
        EXPECT_EQ(r[static_cast<std::size_t>(i)], 'E') << i;

    std::vector<std::uint8_t> zeroed(r.begin(), r.end());
    zeroed[2] = zeroed[3] = 0;
    const std::uint16_t expected = referenceChecksum(zeroed); // as a big-endian field
    EXPECT_EQ(r[2], expected >> 8);
    EXPECT_EQ(r[3], expected & 0xff);
    EXPECT_EQ(internetChecksum(r), 0); // a packet with its checksum sums to zero
}

TEST(EchoRequest, DataFillsTheLetterBytesFromTheStart)
{
    const EchoRequest r = buildEchoRequest(1, 2, 3, "abc");
    EXPECT_EQ(std::string(r.begin() + 20, r.end()), "abc" + std::string(29, 'E'));
    const EchoRequest full = buildEchoRequest(1, 2, 3, std::string(40, 'x'));
    EXPECT_EQ(std::string(full.begin() + 20, full.end()), std::string(32, 'x'));
    EXPECT_EQ(internetChecksum(full), 0);
}

TEST(ExamineDatagram, MatchesEchoesAndQuotedRequests)
{
    struct Case {
        const char* what;
        std::vector<std::uint8_t> datagram;
        ReplyKind kind;
        std::optional<std::uint16_t> sequence;
    };
    auto truncatedQuote = errorDatagram(3, 3489);
    truncatedQuote.resize(20 + 8 + 20 + 6);
    const Case cases[] = {
        { "echo reply", echoDatagram(0, 3489), ReplyKind::Echo, 3489 },
        { "echo request (own, on loopback)", echoDatagram(8, 3490), ReplyKind::Echo, 3490 },
        { "echo reply with IP options", echoDatagram(0, 7, Ipv4::of(10, 0, 0, 1), 64, 6), ReplyKind::Echo,
            7 },
        { "unreachable", errorDatagram(3, 3489), ReplyKind::Unreachable, 3489 },
        { "time exceeded", errorDatagram(11, 65535), ReplyKind::TtlExpired, 65535 },
        { "unreachable, options in both headers", errorDatagram(3, 12, Ipv4::of(192, 0, 2, 1), 7),
            ReplyKind::Unreachable, 12 },
        { "unreachable with its quote cut short", truncatedQuote, ReplyKind::Unreachable, std::nullopt },
    };
    for (const auto& c : cases) {
        const ExaminedDatagram e = examineDatagram(c.datagram);
        EXPECT_EQ(e.kind, c.kind) << c.what;
        EXPECT_EQ(e.sequence, c.sequence) << c.what;
        EXPECT_EQ(e.type, c.datagram[static_cast<std::size_t>(c.datagram[0] & 0xf) * 4]) << c.what;
    }
    const auto e = examineDatagram(echoDatagram(0, 1, Ipv4::of(10, 1, 2, 3), 57));
    EXPECT_EQ(formatIpv4(e.from), "10.1.2.3");
    EXPECT_EQ(e.ttl, 57);
}

TEST(ExamineDatagram, RejectsShortDatagramsAndOtherTypes)
{
    auto shortEcho = echoDatagram(0, 1);
    shortEcho.resize(27);
    auto withOptionsCut = echoDatagram(0, 1, Ipv4::of(1, 2, 3, 4), 64, 15); // H = 60
    withOptionsCut.resize(60 + 7);
    auto badIhl = echoDatagram(0, 1);
    badIhl[0] = 0x44;
    auto redirect = echoDatagram(5, 1);
    auto sourceQuench = errorDatagram(4, 1);
    const std::vector<std::uint8_t> cases[] = { {}, { 0x45 }, std::vector<std::uint8_t>(19, 0x45), shortEcho,
        withOptionsCut, badIhl, redirect, sourceQuench };
    for (const auto& d : cases)
        EXPECT_THROW(examineDatagram(d), IcmpError) << d.size();
}

class IcmpClient : public ::testing::Test
{
protected:
    FakeClock clock { 1000 };
    FakeIcmpNetwork net { clock };
    TIdIcmpClient client { net, clock };
};

TEST_F(IcmpClient, CountsSequenceNumbersFrom3489AndSendsTheRequest)
{
    client.Host = "192.0.2.1";
    net.script = { { { 3, echoDatagram(0, 3489) } }, { { 4, echoDatagram(0, 3490) } } };
    const TReplyStatus first = client.Ping();
    EXPECT_EQ(first.kind, ReplyKind::Echo);
    EXPECT_EQ(first.SequenceNumber, 3489);
    EXPECT_EQ(first.RoundTripTime, 3u);
    EXPECT_EQ(first.FromAddress, "192.0.2.1");
    EXPECT_EQ(first.BytesRead, 72);
    EXPECT_EQ(first.Ttl, 64);
    EXPECT_EQ(first.MessageType, 0);
    EXPECT_EQ(client.Ping().SequenceNumber, 3490);
    EXPECT_EQ(client.sequenceNumber(), 3491);

    ASSERT_EQ(net.sent.size(), 2u);
    const EchoRequest expected = buildEchoRequest(0x4d2, 3489, 1000);
    EXPECT_EQ(net.sent[0].packet, std::vector<std::uint8_t>(expected.begin(), expected.end()));
    EXPECT_EQ(net.sent[0].to, Ipv4::of(192, 0, 2, 1));
    EXPECT_EQ(net.lastTtl, 128);
    EXPECT_EQ(net.openNow, 0);
}

TEST_F(IcmpClient, IgnoresOtherSequenceNumbersAndWaitsForItsOwn)
{
    client.Host = "192.0.2.1";
    client.ReceiveTimeout = 2000;
    net.script
        = { { { 10, echoDatagram(0, 7) }, { 20, errorDatagram(3, 3488) }, { 60, echoDatagram(0, 3489) } } };
    const TReplyStatus s = client.Ping();
    EXPECT_EQ(s.kind, ReplyKind::Echo);
    EXPECT_EQ(s.RoundTripTime, 60u);
}

TEST_F(IcmpClient, TheWaitGoesOnOnlyWithTheTimeThatRemains)
{
    client.Host = "192.0.2.1";
    client.ReceiveTimeout = 2000;
    net.script
        = { { { 1500, echoDatagram(0, 1) }, { 1999, echoDatagram(0, 2) }, { 2100, echoDatagram(0, 3489) } } };
    const TReplyStatus s = client.Ping();
    EXPECT_EQ(s.kind, ReplyKind::TimedOut);
    EXPECT_EQ(s.RoundTripTime, 2000u);
    EXPECT_EQ(s.SequenceNumber, 3489);
    EXPECT_EQ(s.FromAddress, "0.0.0.0");
    EXPECT_EQ(s.BytesRead, 0);
    EXPECT_EQ(s.Ttl, 0);
    EXPECT_EQ(s.MessageType, 0);
    EXPECT_EQ(client.sequenceNumber(), 3490); // a time-out completes the exchange
}

TEST_F(IcmpClient, ErrorMessagesQuotingTheRequestEndTheWait)
{
    client.Host = "192.0.2.99";
    net.script = { { { 5, errorDatagram(3, 3489) } },
        { { 7, errorDatagram(11, 3490, Ipv4::of(198, 51, 100, 1)) } } };
    const TReplyStatus u = client.Ping();
    EXPECT_EQ(u.kind, ReplyKind::Unreachable);
    EXPECT_EQ(u.MessageType, 3);
    EXPECT_EQ(u.RoundTripTime, 5u);
    const TReplyStatus t = client.Ping();
    EXPECT_EQ(t.kind, ReplyKind::TtlExpired);
    EXPECT_EQ(t.FromAddress, "198.51.100.1");
}

TEST_F(IcmpClient, RoundTripTimeIsRightAcrossTheTickWrap)
{
    FakeClock late(0xFFFFFF00u);
    FakeIcmpNetwork lateNet(late);
    TIdIcmpClient c(lateNet, late);
    c.Host = "192.0.2.1";
    lateNet.script = { { { 300, echoDatagram(0, 3489) } } };
    EXPECT_EQ(c.Ping().RoundTripTime, 300u);
}

TEST_F(IcmpClient, AnUnknownOrShortDatagramRaisesAndKeepsTheCounter)
{
    client.Host = "192.0.2.1";
    auto shortOne = echoDatagram(0, 3489);
    shortOne.resize(25);
    net.script = { { { 5, echoDatagram(5, 3489) } }, { { 5, shortOne } } };
    EXPECT_THROW(client.Ping(), IcmpError);
    EXPECT_THROW(client.Ping(), IcmpError);
    EXPECT_EQ(client.sequenceNumber(), 3489);
    EXPECT_EQ(net.openNow, 0); // the socket is closed on the error path too

    net.failOpen = true;
    EXPECT_THROW(client.Ping(), std::system_error);
}

TEST_F(IcmpClient, LocalhostInAnyCaseIsLoopbackAndNamesAreLookedUp)
{
    for (const char* host : { "localhost", "LOCALHOST", "LocalHost" }) {
        client.Host = host;
        client.Ping();
        EXPECT_EQ(net.sent.back().to, Ipv4::of(127, 0, 0, 1)) << host;
    }
    EXPECT_TRUE(net.lookups.empty());
    client.Host = "gw.lab";
    client.Ping();
    EXPECT_EQ(net.sent.back().to, Ipv4::of(192, 0, 2, 1));
    EXPECT_EQ(net.lookups, std::vector<std::string> { "gw.lab" });

    client.Host = "nowhere.invalid";
    EXPECT_THROW(client.Ping(), IcmpLookupError);
    EXPECT_EQ(net.opened, 4); // nothing opened for a failed lookup
}

TEST_F(IcmpClient, AGivenSequenceNumberReplacesTheCounterAndItWraps)
{
    client.Host = "192.0.2.1";
    net.script = { { { 1, echoDatagram(0, 65535) } }, { { 1, echoDatagram(0, 0) } } };
    std::vector<std::uint16_t> reported;
    client.OnReply = [&](const TReplyStatus& s) { reported.push_back(s.SequenceNumber); };
    EXPECT_EQ(client.Ping({}, 65535).kind, ReplyKind::Echo);
    EXPECT_EQ(client.sequenceNumber(), 0);
    EXPECT_EQ(client.Ping().kind, ReplyKind::Echo);
    EXPECT_EQ(reported, (std::vector<std::uint16_t> { 65535, 0 }));
}
