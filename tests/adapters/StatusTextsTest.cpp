#include "adapters/StatusTexts.h"

#include <gtest/gtest.h>

using namespace tarnwick;

TEST(StatusTexts, NameServerSplitsAtCommasAndTheFourthKeepsTheRest)
{
    struct Case {
        const char* text;
        std::array<std::string, 4> dns;
    };
    const Case cases[] = {
        { "", { "", "", "", "" } },
        { "10.0.0.1", { "10.0.0.1", "", "", "" } },
        { "1.1.1.1,2.2.2.2,3.3.3.3", { "1.1.1.1", "2.2.2.2", "3.3.3.3", "" } },
        { "a,b,c,d", { "a", "b", "c", "d" } },
        { "a,b,c,d,e", { "a", "b", "c", "d,e" } },
        { "a,b,c,d,e,f", { "a", "b", "c", "d,e,f" } },
        { " a , b", { " a ", " b", "", "" } }, // nothing trimmed
        { ",,", { "", "", "", "" } },
        { "a,,,", { "a", "", "", "" } },
        { "a,", { "a", "", "", "" } },
        { "a b", { "a b", "", "", "" } },
    };
    for (const Case& c : cases)
        EXPECT_EQ(splitNameServer(c.text), c.dns) << c.text;
}

TEST(StatusTexts, ProxyServerSplitsAtTheFirstColon)
{
    struct Case {
        const char* text;
        HostPort split;
    };
    const Case cases[] = {
        { "proxy.corp:8080", { "proxy.corp", "8080" } },
        { "proxy.corp", { "proxy.corp", "" } },
        { "http=a:80;https=b:443", { "http=a", "80;https=b:443" } },
        { "", { "", "" } },
        { ":3128", { "", "3128" } },
        { "host:", { "host", "" } },
    };
    for (const Case& c : cases)
        EXPECT_EQ(splitProxyServer(c.text), c.split) << c.text;
}

TEST(StatusTexts, DateTimePanelHasNoLeadingZerosInDateOrHour)
{
    EXPECT_EQ(dateTimePanelText({ 2012, 5, 8, 9, 5, 3 }), " 2012-5-8 9:05:03");
    EXPECT_EQ(dateTimePanelText({ 2026, 12, 31, 23, 59, 59 }), " 2026-12-31 23:59:59");
    EXPECT_EQ(dateTimePanelText({ 2000, 1, 1, 0, 0, 0 }), " 2000-1-1 0:00:00");
}

TEST(StatusTexts, HintHasThreeLinesJoinedByCr)
{
    EXPECT_EQ(adapterHint("lan0", "veth", "82:eb:c8:55:7b:d5"),
        "连接名称:  lan0\r设备名称:  veth\r设备ID:    82:eb:c8:55:7b:d5");
}
