// The system proxy read from GSettings, with the keyfile back end in a
// temporary folder instead of a desktop's dconf.
#include "adapters/linux/DesktopProxySource.h"
#include "adapters/linux/GSettingsProxySource.h"
#include "base/linux/RegFileStore.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

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

TEST_F(GSettingsProxy, TheDesktopsProxyIsReadWhenItsSchemaIsInstalled)
{
    writeProxy("manual", "first.lab", 3128);
    test::TempDir store;
    RegFileStore registry(store.path());
    linuxnet::DesktopProxySource source(registry);

    ASSERT_TRUE(linuxnet::GSettingsProxySource::available()) << "gsettings-desktop-schemas is installed";
    const ProxyReading first = source.read();
    EXPECT_TRUE(first.enabled);
    EXPECT_EQ(first.server, "first.lab:3128");
}

TEST_F(GSettingsProxy, TheApplysWriteIsWhatTheNextReadGives)
{
    ASSERT_TRUE(linuxnet::GSettingsProxySource::available());
    linuxnet::GSettingsProxySource proxy;
    proxy.write(true, "written.lab", "8081");
    ProxyReading r = proxy.read();
    EXPECT_TRUE(r.enabled);
    EXPECT_EQ(r.server, "written.lab:8081");
    proxy.write(false, "10.0.0.1", " ");
    r = proxy.read();
    EXPECT_FALSE(r.enabled);
    EXPECT_EQ(r.server, "10.0.0.1") << "no port: the host alone";
}

// Without a session bus that answers, dconf drops writes with only a warning:
// the desktop's store must then not be chosen, or a lost proxy write would be
// reported as written.
TEST_F(GSettingsProxy, ABusThatDoesNotAnswerIsNoDesktopStore)
{
    test::TempDir runtime;
    const std::string dead = "unix:path=" + (runtime / "no-bus-here").string();
    const struct {
        const char* what;
        const char* address; // nullptr: unset
    } cases[] = {
        { "empty address", "" },
        { "address of no listener", dead.c_str() },
        { "no address, no runtime bus", nullptr },
    };
    const std::string backend = std::getenv("GSETTINGS_BACKEND");
    ::unsetenv("GSETTINGS_BACKEND");
    ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.address)
            ::setenv("DBUS_SESSION_BUS_ADDRESS", c.address, 1);
        else
            ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
        EXPECT_FALSE(linuxnet::GSettingsProxySource::available());
    }
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    ::setenv("GSETTINGS_BACKEND", backend.c_str(), 1);
}
