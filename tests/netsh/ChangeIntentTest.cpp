// The record a change of a link leaves on disk before it starts: read back
// whole, or refused whole, and a refused one never moves the link.
#include "netsh/linux/ChangeIntent.h"

#include "TempDir.h"
#include "base/AtomicFile.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <linux/rtnetlink.h>

using namespace tarnwick;
using namespace tarnwick::netsh;

namespace
{

ChangeIntent sample()
{
    ChangeIntent intent;
    intent.ifindex = 7;
    intent.command = "set address source=static addr=10.1.0.5/16 gateway=10.1.0.1";
    intent.before.addresses
        = { { *parseIpv4("192.0.2.10"), 24, false, 0 }, { *parseIpv4("198.51.100.7"), 25, true, 3599 } };
    intent.before.routes = { { *parseIpv4("192.0.2.1"), 1, RTPROT_STATIC, false, false },
        { *parseIpv4("198.51.100.1"), 0, RTPROT_DHCP, false, true } };
    LinkState record;
    record.ifindex = 7;
    record.dhcp = true;
    record.dnsAutomatic = false;
    record.staticDns = { "192.0.2.53", "192.0.2.54" };
    record.dhcpDns = { "10.0.0.1" };
    record.leaseAddress = "198.51.100.7";
    record.client = "dhcpcd";
    record.clientPid = 4242;
    intent.before.record = record;
    return intent;
}

void expectSame(const ChangeIntent& a, const ChangeIntent& b)
{
    EXPECT_EQ(a.ifindex, b.ifindex);
    EXPECT_EQ(a.command, b.command);
    EXPECT_EQ(a.finishing, b.finishing);
    EXPECT_EQ(a.before.addresses, b.before.addresses);
    ASSERT_EQ(a.before.addresses.size(), b.before.addresses.size());
    for (std::size_t i = 0; i < a.before.addresses.size(); ++i)
        EXPECT_EQ(a.before.addresses[i].secondsLeft, b.before.addresses[i].secondsLeft);
    ASSERT_EQ(a.before.routes.size(), b.before.routes.size());
    for (std::size_t i = 0; i < a.before.routes.size(); ++i) {
        const auto& x = a.before.routes[i];
        const auto& y = b.before.routes[i];
        EXPECT_EQ(x.gateway, y.gateway);
        EXPECT_EQ(x.metric, y.metric);
        EXPECT_EQ(x.protocol, y.protocol);
        EXPECT_EQ(x.multipath, y.multipath);
        EXPECT_EQ(x.onlink, y.onlink);
    }
    EXPECT_EQ(a.before.record, b.before.record);
}

std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

} // namespace

TEST(ChangeIntent, ReadsBackWhatItWrote)
{
    ChangeIntent bare;
    bare.ifindex = 3;
    bare.command = "set dns source=dhcp";
    bare.finishing = true;
    ChangeIntent withNewline = sample();
    withNewline.command = "add dns\naddr=1.2.3.4";
    for (const ChangeIntent& intent : { sample(), bare, withNewline }) {
        const auto back = parseChangeIntent(formatChangeIntent(intent));
        ASSERT_TRUE(back) << formatChangeIntent(intent);
        ChangeIntent want = intent;
        std::replace(want.command.begin(), want.command.end(), '\n', ' ');
        expectSame(*back, want);
    }
}

TEST(ChangeIntent, RefusesEveryCutOfAWholeRecord)
{
    const std::string text = formatChangeIntent(sample());
    for (std::size_t n = 0; n < text.size(); ++n)
        EXPECT_FALSE(parseChangeIntent(text.substr(0, n))) << text.substr(0, n);
}

TEST(ChangeIntent, RefusesARecordNotWellFormed)
{
    const std::string good = formatChangeIntent(sample());
    const struct {
        const char* what;
        std::string text;
    } cases[] = {
        { "empty", "" },
        { "other first line", replaced(good, "tarnwick-change=1", "tarnwick-change=2") },
        { "unknown key", replaced(good, "finishing=0\n", "finishing=0\nrollback=1\n") },
        { "line without '='", replaced(good, "finishing=0\n", "finishing=0\nnonsense\n") },
        { "no index", replaced(good, "ifindex=7\n", "") },
        { "index zero", replaced(good, "ifindex=7\n", "ifindex=0\n") },
        { "index twice", replaced(good, "ifindex=7\n", "ifindex=7\nifindex=9\n") },
        { "no command", replaced(good, "command=set", "comand=set") },
        { "prefix too long", replaced(good, "192.0.2.10/24", "192.0.2.10/33") },
        { "bad address", replaced(good, "192.0.2.10/24", "192.0.2.300/24") },
        { "address without lifetime", replaced(good, "198.51.100.7/25 1 3599", "198.51.100.7/25 1") },
        { "negative metric", replaced(good, "route=192.0.2.1 1 ", "route=192.0.2.1 -1 ") },
        { "bad gateway", replaced(good, "route=192.0.2.1 ", "route=192.0.2 ") },
        { "record of another link", replaced(good, "record.ifindex=7", "record.ifindex=8") },
        { "record lines without a record", replaced(good, "record=1", "record=0") },
        { "record said but none", good.substr(0, good.find("record.")) + "end\n" },
        { "bad record line", replaced(good, "record.dhcp=1", "record.dhcp=yes") },
        { "text after the end", good + "address=10.0.0.1/8 0 0\n" },
        { "no final newline", good.substr(0, good.size() - 1) },
        { "finishing not 0/1", replaced(good, "finishing=0", "finishing=2") },
    };
    ASSERT_TRUE(parseChangeIntent(good));
    for (const auto& c : cases)
        EXPECT_FALSE(parseChangeIntent(c.text)) << c.what << ":\n" << c.text;
}

class ChangeIntentFile : public ::testing::Test
{
protected:
    void SetUp() override { ::setenv("TARNWICK_STATE_DIR", m_dir.path().c_str(), 1); }
    void TearDown() override { ::unsetenv("TARNWICK_STATE_DIR"); }
    tarnwick::test::TempDir m_dir;
    // No link of this name exists: anything acting on it would fail loudly.
    const std::string m_link = "twnolink0";
};

TEST_F(ChangeIntentFile, WrittenRecordIsReadBackAndRemoved)
{
    bool unreadable = true;
    EXPECT_FALSE(readChangeIntent(m_link, unreadable));
    EXPECT_FALSE(unreadable);
    writeChangeIntent(m_link, sample());
    EXPECT_EQ(std::filesystem::status(namespaceStateDir() / (m_link + ".intent")).permissions()
            & std::filesystem::perms::others_read,
        std::filesystem::perms::none);
    const auto back = readChangeIntent(m_link, unreadable);
    ASSERT_TRUE(back);
    EXPECT_FALSE(unreadable);
    expectSame(*back, sample());
    removeChangeIntent(m_link);
    EXPECT_FALSE(readChangeIntent(m_link, unreadable));
    EXPECT_NO_THROW(removeChangeIntent(m_link));
}

// A record cut or damaged on disk is dropped with a word to the user, and
// the link and its record are left as they are: nothing is undone on a guess.
TEST_F(ChangeIntentFile, DamagedRecordIsDroppedWithoutTouchingTheLink)
{
    const std::string good = formatChangeIntent(sample());
    const std::string damaged[] = { good.substr(0, good.size() / 2), "garbage\n", std::string(1, '\0') };
    netlink::Socket nl;
    for (const auto& text : damaged) {
        makeStateFolder(namespaceStateDir());
        writeFileAtomically(namespaceStateDir() / (m_link + ".intent"), text, 0600);
        bool unreadable = false;
        EXPECT_FALSE(readChangeIntent(m_link, unreadable));
        EXPECT_TRUE(unreadable);
        const std::string note = recoverInterruptedChange(nl, m_link, 7);
        EXPECT_NE(note.find("无法读取"), std::string::npos) << note;
        EXPECT_FALSE(std::filesystem::exists(namespaceStateDir() / (m_link + ".intent")));
    }
    // A folder in its place is no record either.
    std::filesystem::create_directory(namespaceStateDir() / (m_link + ".intent"));
    bool unreadable = false;
    EXPECT_FALSE(readChangeIntent(m_link, unreadable));
    EXPECT_TRUE(unreadable);
}

// A record of an earlier link of the same name is not this link's to undo.
TEST_F(ChangeIntentFile, RecordOfAnotherLinkIsDroppedSilently)
{
    writeChangeIntent(m_link, sample());
    netlink::Socket nl;
    EXPECT_EQ(recoverInterruptedChange(nl, m_link, 8), "");
    bool unreadable = false;
    EXPECT_FALSE(readChangeIntent(m_link, unreadable));
    EXPECT_FALSE(unreadable);
}
