#include "base/Ipv4.h"
#include "base/Text.h"

#include <gtest/gtest.h>

using namespace tarnwick;

TEST(Ipv4, AcceptsOnlyFourDecimalParts)
{
    EXPECT_EQ(parseIpv4("192.0.2.1"), Ipv4::of(192, 0, 2, 1));
    EXPECT_EQ(parseIpv4("0.0.0.0"), Ipv4::of(0, 0, 0, 0));
    EXPECT_EQ(parseIpv4("255.255.255.255"), Ipv4::of(255, 255, 255, 255));
    EXPECT_EQ(parseIpv4("010.1.1.255"), Ipv4::of(10, 1, 1, 255)) << "decimal, not octal";
    for (const char* bad : { "", "1.2.3", "1.2.3.4.", "1.2.3.256", "1..2.3", "a.b.c.d", " 1.2.3.4",
             "1.2.3.4 ", "1.2.3.0004", "gw.lab", "-1.2.3.4", "+1.2.3.4", "0x1.2.3.4" })
        EXPECT_FALSE(parseIpv4(bad)) << bad;
}

TEST(Ipv4, LeadingZerosAreSeenInEveryPart)
{
    for (const char* text : { "010.1.1.1", "1.01.1.1", "1.1.001.1", "1.1.1.00" })
        EXPECT_TRUE(hasLeadingZero(text)) << text;
    for (const char* text : { "10.1.1.1", "0.0.0.0", "100.10.1.0", "192.0.2.100" })
        EXPECT_FALSE(hasLeadingZero(text)) << text;
}

TEST(Ipv4, BytesTextAndMasksRoundTrip)
{
    const Ipv4 a = Ipv4::of(192, 0, 2, 10);
    const auto bytes = a.bytes();
    EXPECT_EQ(Ipv4::fromBytes(bytes.data()), a);
    EXPECT_EQ(bytes[0], 192);
    EXPECT_EQ(formatIpv4(a), "192.0.2.10");
    EXPECT_EQ(maskPrefix(prefixMask(24)), 24);
    EXPECT_EQ(maskPrefix(Ipv4::of(255, 0, 255, 0)), std::nullopt);
    EXPECT_EQ(formatIpv4(prefixMask(0)), "0.0.0.0");
    EXPECT_EQ(formatIpv4(prefixMask(32)), "255.255.255.255");
}

TEST(Text, PrintableEscapesWhatATerminalWouldObey)
{
    EXPECT_EQ(printable("lan0"), "lan0");
    EXPECT_EQ(printable("a\x1b[2Jb"), "a\\x1b[2Jb");
    EXPECT_EQ(printable("x\ny\tz\r"), "x\\ny\\tz\\r");
    EXPECT_EQ(printable("本地连接\x7f"), "本地连接\\x7f");
}
