// The system proxy read from GSettings, with the keyfile back end in a
// temporary folder instead of a desktop's dconf; the start-up prefetch that
// reads it in a child process, and its answer's parsing.
//
// The order of the tests matters: the first ones run before this process
// loads GIO, as the window program's start does.
#include "adapters/linux/DesktopProxySource.h"
#include "adapters/linux/GSettingsProxySource.h"
#include "adapters/linux/ProxyPrefetch.h"
#include "app/linux/RegFileStore.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace tarnwick;

namespace
{

test::TempDir& configHome()
{
    static test::TempDir dir;
    return dir;
}

void writeProxy(const std::string& mode, const std::string& host, int port)
{
    std::filesystem::create_directories(configHome() / "glib-2.0/settings");
    std::ofstream(configHome() / "glib-2.0/settings/keyfile")
        << "[system/proxy]\nmode='" << mode << "'\n\n[system/proxy/http]\nhost='" << host
        << "'\nport=" << port << "\n";
}

bool gioLoaded()
{
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        if (line.find("libgio-2.0") != std::string::npos)
            return true;
    }
    return false;
}

class GSettingsProxy : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        // Before GIO's first use: the back end is chosen once per process.
        ::setenv("GSETTINGS_BACKEND", "keyfile", 1);
        ::setenv("XDG_CONFIG_HOME", configHome().path().c_str(), 1);
    }
};

} // namespace

TEST_F(GSettingsProxy, PrefetchWithoutTheSchemaSaysSoAndLeavesGioUnloaded)
{
    const char* dataDirs = std::getenv("XDG_DATA_DIRS");
    const std::string saved = dataDirs ? dataDirs : "";
    ::setenv("XDG_DATA_DIRS", (configHome() / "no-schemas").c_str(), 1);
    linuxnet::ProxyPrefetch::start();
    const auto r = linuxnet::ProxyPrefetch::take();
    if (dataDirs)
        ::setenv("XDG_DATA_DIRS", saved.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_DIRS");
    ASSERT_TRUE(r) << "the child answered";
    EXPECT_FALSE(r->fromDesktop);
    EXPECT_FALSE(linuxnet::ProxyPrefetch::take()) << "given once";
    EXPECT_FALSE(gioLoaded());
}

TEST_F(GSettingsProxy, FirstReadIsThePrefetchedOneAndLaterReadsAreLive)
{
    writeProxy("manual", "first.lab", 3128);
    linuxnet::ProxyPrefetch::start();
    test::TempDir store;
    RegFileStore registry(store.path());
    linuxnet::DesktopProxySource source(registry);

    const ProxyReading first = source.read();
    EXPECT_TRUE(first.enabled);
    EXPECT_EQ(first.server, "first.lab:3128");
    EXPECT_FALSE(gioLoaded()) << "the first reading came from the child";

    // Read in this process now, which loads GIO here (its keyfile back end
    // then keeps what it read: no later change is seen without a main loop).
    writeProxy("none", "second.lab", 8080);
    ASSERT_TRUE(linuxnet::GSettingsProxySource::available()) << "gsettings-desktop-schemas is installed";
    const ProxyReading second = source.read();
    EXPECT_FALSE(second.enabled);
    EXPECT_EQ(second.server, "second.lab:8080");
}

TEST(ProxyPrefetchAnswer, ParsesWhatAWholeChildWritesAndRejectsTheRest)
{
    struct Case {
        const char* written;
        bool closed; // the child ended (else it hangs and the wait times out)
        bool answered;
        bool fromDesktop;
        bool enabled;
        const char* server;
    };
    const Case cases[] = {
        { "0", true, true, false, false, "" },
        { "11proxy.lab:3128", true, true, true, true, "proxy.lab:3128" },
        { "10", true, true, true, false, "" },
        { "10host.lab", true, true, true, false, "host.lab" },
        { "", true, false, false, false, "" }, // died before writing
        { "1", true, false, false, false, "" }, // died half-way
        { "1x", true, false, false, false, "" },
        { "00", true, false, false, false, "" },
        { "11host", false, false, false, false, "" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.written);
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        const std::string data = c.written;
        ASSERT_EQ(::write(fds[1], data.data(), data.size()), static_cast<ssize_t>(data.size()));
        if (c.closed)
            ::close(fds[1]);
        const auto r = linuxnet::ProxyPrefetch::parse(fds[0], 50);
        ::close(fds[0]);
        if (!c.closed)
            ::close(fds[1]);
        ASSERT_EQ(r.has_value(), c.answered);
        if (!r)
            continue;
        EXPECT_EQ(r->fromDesktop, c.fromDesktop);
        EXPECT_EQ(r->reading.enabled, c.enabled);
        EXPECT_EQ(r->reading.server, c.server);
    }
}
