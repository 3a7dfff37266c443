#include "linkstate/LinkState.h"

#include "TempDir.h"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace tarnwick;

namespace
{

class LinkStateTest : public ::testing::Test
{
protected:
    void SetUp() override { ::setenv("TARNWICK_STATE_DIR", m_dir.path().c_str(), 1); }
    void TearDown() override { ::unsetenv("TARNWICK_STATE_DIR"); }
    tarnwick::test::TempDir m_dir;
};

} // namespace

TEST_F(LinkStateTest, WrittenStateIsReadBackForTheSameInterface)
{
    LinkState state;
    state.ifindex = 1; // lo is 1 in every namespace
    state.dhcp = true;
    state.dnsAutomatic = false;
    state.staticDns = { "192.0.2.53", "192.0.2.54" };
    state.dhcpDns = { "10.0.0.1" };
    state.client = "dhcpcd";
    state.clientPid = 4242;
    writeLinkState("lo", state);
    EXPECT_EQ(readLinkState("lo"), state);
    EXPECT_EQ(namespaceStateDir().parent_path(), m_dir.path());
}

TEST_F(LinkStateTest, StateOfAnEarlierInterfaceOfTheSameNameIsIgnored)
{
    LinkState state;
    state.ifindex = 9999;
    writeLinkState("lo", state);
    EXPECT_FALSE(readLinkState("lo").has_value());
}

TEST_F(LinkStateTest, MissingOrMalformedStateReadsAsNone)
{
    EXPECT_FALSE(readLinkState("lo").has_value());
    EXPECT_FALSE(parseLinkState("dhcp=yes\n").has_value());
    EXPECT_FALSE(parseLinkState("no equals sign\n").has_value());
    EXPECT_FALSE(parseLinkState("client-pid=-3\n").has_value());
}

TEST(LinkStateNames, PathLikeOrOverlongNamesAreRefused)
{
    for (const char* bad : { "", ".", "..", "a/b", "a b", "a\nb", "sixteen-chars-xx" })
        EXPECT_FALSE(isValidInterfaceName(bad)) << bad;
    EXPECT_TRUE(isValidInterfaceName("lan0"));
    EXPECT_FALSE(readLinkState("../etc").has_value());
}
