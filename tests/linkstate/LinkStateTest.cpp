#include "linkstate/LinkState.h"

#include "TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

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

// A state folder someone else could change is refused before anything is
// written into it: writable by others, a symbolic link, owned by another user.
TEST_F(LinkStateTest, StateFoldersOthersCouldChangeAreRefused)
{
    LinkState state;
    state.ifindex = 1;
    writeLinkState("lo", state);
    const auto root = m_dir.path();
    const auto ns = namespaceStateDir();
    struct stat st {
    };
    ASSERT_EQ(::stat(ns.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u) << "fixed modes whatever the umask";

    ::chmod(root.c_str(), 0777);
    EXPECT_THROW(writeLinkState("lo", state), std::runtime_error) << "the root is writable by others";
    ::chmod(root.c_str(), 0755);
    ::chmod(ns.c_str(), 0775);
    EXPECT_THROW(writeLinkState("lo", state), std::runtime_error) << "the namespace folder is group-writable";
    ::chmod(ns.c_str(), 0755);
    writeLinkState("lo", state);

    // The namespace folder swapped for a link to a folder of the attacker's.
    const auto elsewhere = root / "elsewhere";
    std::filesystem::create_directory(elsewhere);
    std::filesystem::remove_all(ns);
    std::filesystem::create_directory_symlink(elsewhere, ns);
    EXPECT_THROW(writeLinkState("lo", state), std::runtime_error);
    EXPECT_FALSE(std::filesystem::exists(elsewhere / "lo.state"));
    std::filesystem::remove(ns);

    if (::geteuid() == 0) {
        std::filesystem::create_directory(ns);
        ASSERT_EQ(::chown(ns.c_str(), 65534, 65534), 0);
        EXPECT_THROW(writeLinkState("lo", state), std::runtime_error) << "owned by another user";
    }
}
