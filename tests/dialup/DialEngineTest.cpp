// The dial-up engine over a scripted back end: the status texts, the
// one-slot hand-over to the GUI thread, the hang-up passes and the dial's
// failure paths.
#include "dialup/TDialUp.h"

#include "GuiQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

using namespace tarnwick;
using tarnwick::test::GuiQueue;

namespace
{

// A phone book and connections as the test sets them; a dial runs a thread
// that reports `progress` one by one.
class ScriptedBackend : public DialBackend
{
public:
    bool isInstalled = true;
    std::vector<std::string> book { "dsl", "modem" };
    std::vector<Connection> active;
    std::vector<std::pair<int, int>> progress;
    std::string address; // reported with Connected
    std::string said; // reported with Disconnected
    int paramsError = 0, storeError = 0, dialError = 0;
    std::vector<std::string> stored;
    int hangUps = 0;
    std::thread worker;

    ~ScriptedBackend() override
    {
        if (worker.joinable())
            worker.join();
    }
    bool installed() const override { return isInstalled; }
    std::optional<std::vector<std::string>> entries() const override { return book; }
    std::optional<std::vector<Connection>> connections() const override { return active; }
    void hangUp(const Connection&) override { ++hangUps; }
    int readDialParams(const std::string&) override { return paramsError; }
    int storeCredentials(const std::string& e, const std::string& u, const std::string& p) override
    {
        stored = { e, u, p };
        return storeError;
    }
    int dial(const std::string&, Notifier notify) override
    {
        if (dialError)
            return dialError;
        worker = std::thread([this, notify] {
            for (const auto& [state, error] : progress)
                notify(state, error,
                    state == dialstate::Connected          ? address
                        : state == dialstate::Disconnected ? said
                                                           : std::string());
        });
        return 0;
    }
    std::string errorText(int code) const override { return "error " + std::to_string(code); }
};

struct Engine {
    GuiQueue gui;
    ScriptedBackend* backend = new ScriptedBackend;
    int passes = 0;
    TDialUp dialer { std::unique_ptr<DialBackend>(backend),
        [this](std::function<void()> action) { gui.post(std::move(action)); }, [this] { ++passes; } };
    std::vector<std::pair<std::string, bool>> reports;
    std::vector<std::string> outcomes; // "up <address>" or "failed <text>"
    std::thread::id reportedOn;
    Engine()
    {
        dialer.ConnectTo = "dsl";
        dialer.OnDialOutcome = [this](const TDialUp::DialOutcome& o) {
            outcomes.push_back(o.connected ? "up " + o.address : "failed " + o.text);
        };
        dialer.OnStatusEvent = [this](const std::string& text, bool error) {
            reports.emplace_back(text, error);
            reportedOn = std::this_thread::get_id();
        };
    }
};

} // namespace

TEST(DescribeStatus, StatesPickTheirTemplateAndErrorCodesTheSystemText)
{
    Engine e;
    const struct {
        int state;
        int error;
        const char* text;
        bool isError;
    } cases[] = {
        { 0, 0, "Connecting to dsl...", false },
        { 4, 0, "Connecting to dsl...", false },
        { 18, 0, "Connecting to dsl...", false },
        { 8192, 0, "Connecting to dsl...", false },
        { 4096, 0, "Connecting to dsl...", false },
        { 5, 0, "Verifying username and password...", false },
        { 14, 0, "Verifying username and password...", false },
        { 19, 0, "Verifying username and password...", false },
        { 6, 0, "An error occured while trying to connect to dsl.", false },
        { 8193, 0, "An error occured while trying to connect to dsl.", false },
        { 4099, 0, "An error occured while trying to connect to dsl.", false },
        { 22, 0, "Something went wrong...", false },
        { 23, 0, "Something went wrong...", false },
        { 4100, 0, "Something went wrong...", false },
        { 8192, 691, "error 691", true },
        { 22, 619, "error 619", true },
    };
    for (const auto& c : cases) {
        const DialStatusText s = e.dialer.DescribeStatus(c.state, c.error);
        EXPECT_EQ(s.text, c.text) << c.state << "/" << c.error;
        EXPECT_EQ(s.error, c.isError) << c.state << "/" << c.error;
    }
}

TEST(DialEngine, ManyStatusesFromTheBackEndsThreadArriveInOrderOnTheGuiThread)
{
    Engine e;
    constexpr int kStatuses = 500;
    for (int i = 0; i < kStatuses; ++i)
        e.backend->progress.emplace_back(i % 2 ? dialstate::Authenticate : dialstate::ConnectDevice, 0);
    e.backend->progress.emplace_back(dialstate::Connected, 691);
    e.dialer.Username = "ann";
    e.dialer.Password = "s3cret";
    ASSERT_TRUE(e.dialer.Dial());
    EXPECT_EQ(e.backend->stored, (std::vector<std::string> { "dsl", "ann", "s3cret" }));
    e.gui.serveUntil([&] { return e.reports.size() == kStatuses + 1; });
    for (int i = 0; i < kStatuses; ++i)
        ASSERT_EQ(e.reports[static_cast<std::size_t>(i)].first,
            i % 2 ? "Verifying username and password..." : "Connecting to dsl...")
            << i;
    EXPECT_EQ(e.reports.back(), (std::pair<std::string, bool> { "error 691", true }))
        << "a wrong password, later";
    EXPECT_EQ(e.reportedOn, std::this_thread::get_id());
}

TEST(DialEngine, FailuresHangUpReportAndReturnFalse)
{
    const struct {
        const char* what;
        int params, store, dial;
        const char* says;
    } cases[] = {
        { "parameters unreadable", 623, 0, 0, "error 623" },
        { "credentials not stored", 0, 5, 0, "error 5" },
        { "dial refused", 0, 0, 633, "error 633" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Engine e;
        e.backend->active = { { "dsl", "eth0", true, 1 } };
        e.backend->paramsError = c.params;
        e.backend->storeError = c.store;
        e.backend->dialError = c.dial;
        EXPECT_FALSE(e.dialer.Dial());
        ASSERT_EQ(e.reports.size(), 1u);
        EXPECT_NE(e.reports[0].first.find(c.says), std::string::npos) << e.reports[0].first;
        EXPECT_TRUE(e.reports[0].second);
        EXPECT_EQ(e.passes, 14) << "hang-up before the dial and again after the failure";
        EXPECT_EQ(e.outcomes, std::vector<std::string> { "failed " + e.reports[0].first });
    }
}

// A dial ends in one outcome: up with its address only once connected, or
// failed with the reason; statuses before that are no outcome.
TEST(DialEngine, ADialEndsInOneOutcomeUpWithItsAddressOrFailedWithItsReason)
{
    using dialstate::Authenticate, dialstate::ConnectDevice, dialstate::Connected, dialstate::Disconnected;
    const struct {
        const char* what;
        std::vector<std::pair<int, int>> progress;
        const char* outcome;
    } cases[] = {
        { "connected", { { ConnectDevice, 0 }, { Authenticate, 0 }, { Connected, 0 } }, "up 10.64.64.64" },
        { "pppd quit at once", { { ConnectDevice, 0 }, { Disconnected, 10002 } },
            "failed error 10002：no driver" },
        { "refused password", { { Authenticate, 691 }, { Disconnected, 10019 } }, "failed error 691" },
        { "dropped without a code", { { Disconnected, 0 } },
            "failed An error occured while trying to connect to dsl.：no driver" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Engine e;
        e.backend->progress = c.progress;
        e.backend->address = "10.64.64.64";
        e.backend->said = "no driver";
        ASSERT_TRUE(e.dialer.Dial());
        EXPECT_TRUE(e.outcomes.empty()) << "accepted is not connected";
        ASSERT_TRUE(e.gui.serveUntil([&] { return e.reports.size() == c.progress.size(); }));
        EXPECT_EQ(e.outcomes, std::vector<std::string> { c.outcome });
    }

    // Hung up before its statuses arrive: they are shown, but end nothing.
    Engine e;
    e.backend->progress = { { ConnectDevice, 0 }, { Disconnected, 10005 } };
    ASSERT_TRUE(e.dialer.Dial());
    EXPECT_EQ(e.dialer.HangUpAll(), 0);
    ASSERT_TRUE(e.gui.serveUntil([&] { return e.reports.size() == 2; }));
    EXPECT_TRUE(e.outcomes.empty());
}

TEST(DialEngine, HangUpEndsEveryConnectionInSevenPassesAndNamesTheConnectedOne)
{
    Engine e;
    EXPECT_EQ(e.dialer.CurrentConnection(), "");
    e.backend->active
        = { { "dsl", "ppp0", true, 1 }, { "other", "ppp1", false, 2 }, { "modem", "ppp2", true, 3 } };
    EXPECT_EQ(e.dialer.CurrentConnection(), "modem (ppp2)") << "the one enumerated last";
    EXPECT_EQ(e.dialer.HangUpAll(), 3) << "each connection once, whatever the passes";
    EXPECT_EQ(e.backend->hangUps, 21);
    EXPECT_EQ(e.passes, 7);
    EXPECT_EQ(e.dialer.PossibleConnections(), (std::vector<std::string> { "dsl", "modem" }));

    e.backend->book.assign(101, "x");
    EXPECT_TRUE(e.dialer.PossibleConnections().empty()) << "more than 100 entries read as none";

    e.backend->isInstalled = false;
    EXPECT_TRUE(e.dialer.PossibleConnections().empty());
    EXPECT_EQ(e.dialer.CurrentConnection(), "");
    EXPECT_FALSE(e.dialer.Dial());
    EXPECT_TRUE(e.reports.empty()) << "no report without the service";
}

TEST(DialEngine, AComponentGoneMidDialLeavesTheBackEndsThreadNothingToWaitFor)
{
    GuiQueue gui;
    auto* backend = new ScriptedBackend;
    for (int i = 0; i < 1000; ++i)
        backend->progress.emplace_back(dialstate::ConnectDevice, 0);
    std::atomic<int> reports = 0;
    auto dialer = std::make_unique<TDialUp>(
        std::unique_ptr<DialBackend>(backend), [&](std::function<void()> a) { gui.post(std::move(a)); },
        [] {});
    dialer->OnStatusEvent = [&](const std::string&, bool) { ++reports; };
    ASSERT_TRUE(dialer->Dial());
    gui.serveUntil([&] { return reports >= 10; });
    // Destroying it joins the back end's thread: it must not wait for a slot
    // that nobody will empty, and what it posted later reaches nobody.
    dialer.reset();
    gui.post([] {});
    gui.serveUntil([] { return true; });
    EXPECT_LT(reports.load(), 1000);
}
