// The system proxy read from GSettings, with the keyfile back end in a
// temporary folder instead of a desktop's dconf.
#include "adapters/linux/GSettingsProxySource.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

using namespace tarnwick;

TEST(GSettingsProxySource, ManualModeGivesHostColonPort)
{
    test::TempDir dir;
    // Before GIO's first use: the back end is chosen once per process.
    ::setenv("GSETTINGS_BACKEND", "keyfile", 1);
    ::setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    std::filesystem::create_directories(dir / "glib-2.0/settings");
    std::ofstream(dir / "glib-2.0/settings/keyfile")
        << "[system/proxy]\nmode='manual'\n\n[system/proxy/http]\nhost='proxy.lab'\nport=3128\n";

    ASSERT_TRUE(linuxnet::GSettingsProxySource::available()) << "gsettings-desktop-schemas is installed";
    const ProxyReading r = linuxnet::GSettingsProxySource().read();
    EXPECT_TRUE(r.enabled);
    EXPECT_EQ(r.server, "proxy.lab:3128");
}
