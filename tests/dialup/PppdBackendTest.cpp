// The pppd back end against a temporary phone book and secrets folder, with
// the stand-in pppd (the kernel here has no PPP driver) and, once, the real
// pppd's acceptance of the argument line.
#include "dialup/linux/PppdBackend.h"
#include "TempDir.h"
#include "base/AtomicFile.h"
#include "base/Spawn.h"
#include "dialup/TDialUp.h"

#include "GuiQueue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <deque>
#include <fstream>
#include <grp.h>
#include <mutex>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

using namespace tarnwick;
using tarnwick::test::GuiQueue;
using tarnwick::test::TempDir;
namespace fs = std::filesystem;

namespace
{

unsigned modeOf(const fs::path& path)
{
    struct stat st {
    };
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

void write(const fs::path& path, const std::string& text, unsigned mode = 0644)
{
    std::ofstream(path) << text;
    ::chmod(path.c_str(), mode);
}

// A phone book, secrets and run folder of their own, and the stand-in pppd.
class Pppd : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char* d : { "peers", "ppp", "run" })
            fs::create_directories(m_dir / d);
        ::setenv("TARNWICK_PPP_PEERS", (m_dir / "peers").c_str(), 1);
        ::setenv("TARNWICK_PPP_SECRETS", (m_dir / "ppp").c_str(), 1);
        ::setenv("TARNWICK_PPP_RUN", (m_dir / "run").c_str(), 1);
        ::setenv("TARNWICK_PPPD", STAND_IN_PPPD, 1);
        write(peers() / "dsl", "plugin rp-pppoe.so eth0\nuser \"old\"\nnoipdefault\n");
        write(peers() / "modem", "/dev/ttyS0\n# stand-in: no-driver\n");
    }
    void TearDown() override
    {
        // No stand-in outlives its test.
        PppdBackend backend;
        if (const auto c = backend.connections())
            for (const auto& conn : *c)
                backend.hangUp(conn);
        for (const char* v :
            { "TARNWICK_PPP_PEERS", "TARNWICK_PPP_SECRETS", "TARNWICK_PPP_RUN", "TARNWICK_PPPD" })
            ::unsetenv(v);
    }
    fs::path peers() const { return m_dir / "peers"; }
    fs::path secrets() const { return m_dir / "ppp"; }

    TempDir m_dir;
};

// The engine over the back end, its reports collected on this thread.
struct Dialer {
    GuiQueue gui;
    TDialUp dialup { std::make_unique<PppdBackend>(),
        [this](std::function<void()> a) { gui.post(std::move(a)); }, [] {} };
    std::vector<std::pair<std::string, bool>> reports;
    std::vector<std::string> outcomes; // "up <address>" or "failed <text>"
    Dialer()
    {
        dialup.OnStatusEvent
            = [this](const std::string& text, bool error) { reports.emplace_back(text, error); };
        dialup.OnDialOutcome = [this](const TDialUp::DialOutcome& o) {
            outcomes.push_back(o.connected ? "up " + o.address : "failed " + o.text);
        };
    }
};

bool waitFor(const std::function<bool()>& done)
{
    for (int i = 0; i < 500 && !done(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return done();
}

} // namespace

TEST_F(Pppd, ThePhoneBookIsThePeerFilesInNameOrder)
{
    write(peers() / ".hidden", "");
    write(peers() / "dsl~", "");
    write(peers() / "dsl.dpkg-old", "");
    fs::create_directory(peers() / "folder");
    PppdBackend backend;
    EXPECT_TRUE(backend.installed());
    EXPECT_EQ(backend.entries(), (std::vector<std::string> { "dsl", "modem" }));
    ::setenv("TARNWICK_PPP_PEERS", (m_dir / "none").c_str(), 1);
    EXPECT_EQ(PppdBackend().entries(), std::nullopt);
    ::setenv("TARNWICK_PPPD", "/nonexistent/pppd", 1);
    EXPECT_FALSE(PppdBackend().installed());
}

TEST_F(Pppd, CredentialsGoIntoTheEntryAndItsSecretsOnlyThatLineChanged)
{
    write(secrets() / "pap-secrets", "# Secrets for PAP\n\"bob\" * \"hunter2\"\n", 0600);
    PppdBackend backend;
    ASSERT_EQ(backend.storeCredentials("dsl", "ann", "pa\"ss"), 0);
    EXPECT_EQ(readWholeFile(peers() / "dsl"), "plugin rp-pppoe.so eth0\nnoipdefault\nuser \"ann\"\n");
    EXPECT_EQ(readWholeFile(secrets() / "pap-secrets"),
        "# Secrets for PAP\n\"bob\" * \"hunter2\"\n\"ann\" * \"pa\\\"ss\" # tarnwick:dsl\n");
    EXPECT_EQ(readWholeFile(secrets() / "chap-secrets"), "\"ann\" * \"pa\\\"ss\" # tarnwick:dsl\n");
    EXPECT_EQ(modeOf(secrets() / "pap-secrets"), 0600u);
    EXPECT_EQ(modeOf(secrets() / "chap-secrets"), 0600u) << "never readable by others";
    EXPECT_EQ(modeOf(peers() / "dsl"), 0644u);

    // Again: the entry's line is replaced, not added.
    ASSERT_EQ(backend.storeCredentials("dsl", "ann", "new"), 0);
    EXPECT_EQ(readWholeFile(secrets() / "pap-secrets"),
        "# Secrets for PAP\n\"bob\" * \"hunter2\"\n\"ann\" * \"new\" # tarnwick:dsl\n");

    // A peer that refuses CHAP reads PAP's secrets only.
    write(peers() / "papline", "refuse-chap\n");
    ASSERT_EQ(backend.storeCredentials("papline", "cy", "pw"), 0);
    EXPECT_EQ(readWholeFile(secrets() / "chap-secrets").find("cy"), std::string::npos);

    const std::string before = readWholeFile(secrets() / "pap-secrets");
    EXPECT_EQ(backend.storeCredentials("nosuch", "ann", "pw"), pppderror::NoSuchEntry);
    EXPECT_EQ(backend.storeCredentials("../dsl", "ann", "pw"), pppderror::NoSuchEntry);
    EXPECT_EQ(backend.storeCredentials("dsl", "ann\nplugin evil.so", "pw"), pppderror::UnusableText);
    EXPECT_EQ(readWholeFile(secrets() / "pap-secrets"), before);
}

TEST_F(Pppd, ADialReportsItsProgressAndConnectsWithoutThePasswordInSight)
{
    Dialer d;
    d.dialup.ConnectTo = "dsl";
    d.dialup.Username = "ann";
    d.dialup.Password = "right";
    ASSERT_TRUE(d.dialup.Dial());
    ASSERT_TRUE(d.gui.serveUntil([&] { return d.reports.size() == 6; })) << d.reports.size();
    const std::vector<std::pair<std::string, bool>> expected = {
        { "Connecting to dsl...", false }, // the port opens
        { "Connecting to dsl...", false }, // Using interface
        { "Connecting to dsl...", false }, // Connect:
        { "Verifying username and password...", false }, // authenticated
        { "Connecting to dsl...", false }, // local address
        { "Connecting to dsl...", false }, // connected
    };
    EXPECT_EQ(d.reports, expected);
    EXPECT_EQ(d.outcomes, std::vector<std::string> { "up 10.64.64.64" }) << "the address pppd gave the link";
    ASSERT_TRUE(waitFor([&] { return d.dialup.CurrentConnection() == "dsl (ppp0)"; }))
        << d.dialup.CurrentConnection();

    // The running pppd carries the password in no argument and no variable.
    // (pppd's first process may still be on its way out after detaching.)
    ASSERT_TRUE(waitFor([] { return PppdBackend().connections()->size() == 1; }));
    const auto conns = PppdBackend().connections();
    ASSERT_TRUE(conns && conns->size() == 1);
    const std::string proc = "/proc/" + std::to_string(conns->front().handle);
    EXPECT_EQ(readWholeFile(proc + "/cmdline").find("right"), std::string::npos);
    EXPECT_EQ(readWholeFile(proc + "/environ").find("right"), std::string::npos);

    // A dial whose link is up may still be winding down its first process
    // (slow under sanitizers); ending it as well counts it too.
    EXPECT_GE(d.dialup.HangUpAll(), 1);
    EXPECT_TRUE(waitFor([&] { return PppdBackend().connections()->empty(); }));
    EXPECT_EQ(d.dialup.CurrentConnection(), "");
    EXPECT_EQ(d.dialup.HangUpAll(), 0) << "nothing left to end";
}

// The component goes (the program ends) while the dial's reader is handing
// over a status: the back end joins its reader first, so the hand-over ends
// before the component's destructor returns, never reaching whatever the
// post goes to (the data module) after it is gone.
TEST_F(Pppd, NoStatusIsPostedOnceTheComponentIsGone)
{
    std::mutex m;
    std::condition_variable cv;
    bool inPost = false, destroying = false, destroyed = false, left = false, postedAfter = false;
    auto dialer = std::make_unique<TDialUp>(
        std::make_unique<PppdBackend>(),
        [&](std::function<void()>) {
            std::unique_lock lock(m);
            postedAfter = postedAfter || destroyed;
            if (inPost)
                return;
            inPost = true;
            cv.notify_all();
            cv.wait(lock, [&] { return destroying; });
            // Still here when the destructor has returned: the fault. Joined,
            // the destructor waits for this post instead.
            cv.wait_for(lock, std::chrono::seconds(1), [&] { return destroyed; });
            postedAfter = postedAfter || destroyed;
            left = true;
            cv.notify_all();
        },
        [] {});
    dialer->ConnectTo = "dsl";
    dialer->Username = "ann";
    dialer->Password = "right";
    ASSERT_TRUE(dialer->Dial());
    {
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return inPost; });
        destroying = true;
    }
    cv.notify_all();
    dialer.reset();
    {
        std::lock_guard lock(m);
        destroyed = true;
    }
    cv.notify_all();
    std::unique_lock lock(m);
    cv.wait(lock, [&] { return left; });
    EXPECT_FALSE(postedAfter) << "a status was still being posted after the component was gone";
}

// pppd quits at once (a user who may not load the peer's plugin): the dial
// ends failed with pppd's reason, never up.
TEST_F(Pppd, PppdQuittingAtOnceEndsTheDialFailed)
{
    write(peers() / "pppoe", "plugin rp-pppoe.so eth0\n# stand-in: plugin\n");
    Dialer d;
    d.dialup.ConnectTo = "pppoe";
    d.dialup.Username = "ann";
    d.dialup.Password = "right";
    ASSERT_TRUE(d.dialup.Dial());
    ASSERT_TRUE(d.gui.serveUntil([&] { return !d.outcomes.empty(); }));
    EXPECT_EQ(d.outcomes,
        std::vector<std::string> {
            "failed 拨号选项有误（pppd 退出码 2）：pppd: using the plugin option requires root privilege" });
}

// Only who may run pppd may dial; the distribution lets group dip run it.
// The check is made for a given user and groups, so it runs as root too.
TEST_F(Pppd, OnlyTheGroupThatMayRunPppdMayDialAndTheReasonNamesIt)
{
    const group* dip = ::getgrnam("dip");
    if (!dip)
        GTEST_SKIP() << "no group dip on this machine";
    const gid_t dipGid = dip->gr_gid;
    fs::create_directories(m_dir / "sbin");
    const fs::path pppd = m_dir / "sbin" / "pppd";
    fs::copy_file(STAND_IN_PPPD, pppd);
    ASSERT_EQ(::chown(pppd.c_str(), 0, dipGid), 0);
    ASSERT_EQ(::chmod(pppd.c_str(), 04754), 0); // as the ppp package installs it
    PppdPaths paths = PppdPaths::current();
    paths.pppd = pppd.string();

    const struct {
        const char* who;
        DialerIdentity identity;
        bool mayDial;
    } cases[] = {
        { "nobody", { 65534, 65534, { 65534 } }, false },
        { "nobody in dip", { 65534, 65534, { 65534, dipGid } }, true },
        { "nobody with dip as main group", { 65534, dipGid, {} }, true },
        { "root", { 0, 0, {} }, true },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.who);
        const PppdBackend backend(paths, c.identity);
        EXPECT_EQ(backend.installed(), c.mayDial);
        const std::string reason = backend.unavailableReason();
        if (c.mayDial) {
            EXPECT_EQ(reason, "");
        } else {
            EXPECT_NE(reason.find("只有 dip 组的成员才能拨号"), std::string::npos) << reason;
            EXPECT_NE(reason.find("sudo adduser nobody dip"), std::string::npos) << reason;
        }
    }
    paths.pppd = (m_dir / "sbin" / "missing").string();
    EXPECT_NE(PppdBackend(paths).unavailableReason().find("请先安装 ppp 软件包"), std::string::npos);
}

TEST_F(Pppd, AWrongPasswordIsReportedLaterAndAFailedStartAtOnce)
{
    Dialer d;
    d.dialup.ConnectTo = "dsl";
    d.dialup.Username = "ann";
    d.dialup.Password = "wrong";
    ASSERT_TRUE(d.dialup.Dial()) << "accepted: the refusal comes later";
    ASSERT_TRUE(d.gui.serveUntil([&] { return !d.reports.empty() && d.reports.back().second; }));
    EXPECT_EQ(d.reports.back().first, "用户名或密码不正确，对方拒绝了身份验证");

    // pppd fails at once: no driver, mapped from its exit status.
    d.reports.clear();
    d.dialup.ConnectTo = "modem";
    d.dialup.Password = "right";
    ASSERT_TRUE(d.dialup.Dial());
    ASSERT_TRUE(d.gui.serveUntil([&] { return !d.reports.empty() && d.reports.back().second; }));
    EXPECT_NE(d.reports.back().first.find("内核不支持 PPP"), std::string::npos) << d.reports.back().first;

    // No pppd to start at all.
    ::setenv("TARNWICK_PPPD", "/bin/nonexistent-pppd", 1);
    Dialer none;
    EXPECT_FALSE(none.dialup.Dial()) << "without the service";
    ::setenv("TARNWICK_PPPD", (m_dir / "peers" / "dsl").c_str(), 1); // exists, not a program
    ::chmod((m_dir / "peers" / "dsl").c_str(), 0755);
    Dialer broken;
    broken.dialup.ConnectTo = "dsl";
    broken.dialup.Username = "ann";
    EXPECT_FALSE(broken.dialup.Dial());
    ASSERT_EQ(broken.reports.size(), 1u);
    EXPECT_NE(broken.reports[0].first.find("无法启动 pppd"), std::string::npos) << broken.reports[0].first;
}

TEST_F(Pppd, HangUpEndsEveryConnectionAndTheLastConnectedIsNamed)
{
    PppdBackend backend;
    ASSERT_EQ(backend.storeCredentials("dsl", "ann", "right"), 0);
    write(peers() / "second", "user \"ann\"\n");
    // Two connections "of other programs": pppd started by hand.
    for (const char* line : { "dsl", "second" }) {
        const pid_t pid = spawnProgram(STAND_IN_PPPD,
            { "pppd", "file", (peers() / line).string(), "updetach", "linkname", line }, ChildStreams {});
        ASSERT_EQ(waitForExit(pid), 0) << line;
    }
    ASSERT_TRUE(waitFor([&] { return backend.connections()->size() == 2; }));
    GuiQueue gui;
    TDialUp dialup(
        std::make_unique<PppdBackend>(), [&](std::function<void()> a) { gui.post(std::move(a)); }, [] {});
    ASSERT_TRUE(waitFor([&] { return !dialup.CurrentConnection().empty(); }));
    const auto conns = *backend.connections();
    EXPECT_EQ(dialup.CurrentConnection(), conns.back().entry + " (ppp0)") << "the one enumerated last";
    dialup.HangUpAll();
    EXPECT_TRUE(waitFor([&] { return backend.connections()->empty(); }));
}

// The real pppd accepts the argument line and, for lack of the driver,
// fails in a way that maps to a clean report.
TEST_F(Pppd, TheRealPppdAcceptsTheArgumentLine)
{
    if (::access("/usr/sbin/pppd", X_OK) != 0 || ::geteuid() != 0)
        GTEST_SKIP() << "needs the real pppd (package ppp) and root";
    if (::access("/dev/ppp", F_OK) == 0)
        GTEST_SKIP() << "this kernel has PPP: nothing is dialled on a test machine";
    ::setenv("TARNWICK_PPPD", "/usr/sbin/pppd", 1);
    write(peers() / "dsl", "noauth\nnodefaultroute\npty \"/bin/true\"\n");
    Dialer d;
    d.dialup.ConnectTo = "dsl";
    d.dialup.Username = "ann";
    d.dialup.Password = "right";
    ASSERT_TRUE(d.dialup.Dial());
    ASSERT_TRUE(d.gui.serveUntil([&] { return !d.reports.empty() && d.reports.back().second; }));
    EXPECT_NE(d.reports.back().first.find("pppd 退出码 4"), std::string::npos)
        << "options accepted, then no driver: " << d.reports.back().first;
}
