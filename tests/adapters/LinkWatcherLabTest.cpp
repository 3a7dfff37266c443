// The kernel's link events in the lab: a changed address or route reaches the
// watcher's handler with the adapter's name, a link added or removed says the
// adapters changed, and once the watcher is gone no handler runs.
#include "adapters/LinkWatcher.h"

#include "LabState.h"
#include "Process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

using namespace tarnwick;
using tarnwick::test::runProcess;
using namespace tarnwick::test::lab;

namespace
{

// What the handlers saw, waited for from the test's thread.
class Seen
{
public:
    LinkWatcher::Handlers handlers()
    {
        return { [this] { note([&] { ++m_adapters; }); },
            [this](const std::string& name) { note([&] { m_values.insert(name); }); } };
    }
    bool waitForValues(const std::string& name)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(10), [&] { return m_values.count(name) > 0; });
    }
    bool waitForAdapters(int atLeast)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(10), [&] { return m_adapters >= atLeast; });
    }
    int adapters()
    {
        std::lock_guard lock(m_mutex);
        return m_adapters;
    }
    void forget()
    {
        std::lock_guard lock(m_mutex);
        m_values.clear();
        m_adapters = 0;
    }

private:
    template <typename F> void note(F f)
    {
        {
            std::lock_guard lock(m_mutex);
            f();
        }
        m_changed.notify_all();
    }
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::set<std::string> m_values;
    int m_adapters = 0;
};

void must(const std::vector<std::string>& argv)
{
    const auto r = runProcess(argv);
    ASSERT_EQ(r.exitCode, 0) << argv[0] << ": " << r.err;
}

} // namespace

TEST(LinkWatcherLab, AddressesRoutesAndLinksAreFollowed)
{
    if (env("TARNWICK_LAB").empty())
        GTEST_SKIP() << "runs inside the lab (scripts/lab run)";
    Seen seen;
    auto watcher = makeLinkWatcher(seen.handlers());
    ASSERT_NE(watcher, nullptr);

    const struct {
        const char* what;
        std::vector<std::string> command;
    } changes[] = {
        { "an address added", { "ip", "addr", "add", "192.0.2.61/24", "dev", lan() } },
        { "a default route added",
            { "ip", "route", "replace", "default", "via", "192.0.2.1", "dev", lan() } },
        { "the route removed", { "ip", "route", "del", "default", "dev", lan() } },
        { "the address removed", { "ip", "addr", "del", "192.0.2.61/24", "dev", lan() } },
    };
    for (const auto& c : changes) {
        SCOPED_TRACE(c.what);
        seen.forget();
        must(c.command);
        EXPECT_TRUE(seen.waitForValues(lan()));
        EXPECT_EQ(seen.adapters(), 0) << "no adapter came or went";
    }

    seen.forget();
    must({ "ip", "link", "add", "twplug0", "type", "veth", "peer", "name", "twplug0p" });
    EXPECT_TRUE(seen.waitForAdapters(1)) << "a link plugged in";
    seen.forget();
    must({ "ip", "link", "del", "twplug0" });
    EXPECT_TRUE(seen.waitForAdapters(1)) << "a link pulled out";

    watcher.reset();
    seen.forget();
    must({ "ip", "link", "add", "twplug1", "type", "veth", "peer", "name", "twplug1p" });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(seen.adapters(), 0) << "no handler after the watcher is gone";
    runProcess({ "ip", "link", "del", "twplug1" });
}
