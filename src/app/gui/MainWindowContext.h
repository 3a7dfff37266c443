#pragma once

#include "adapters/AdapterSource.h"
#include "adapters/LiveSnapshot.h"
#include "adapters/LiveValuesSource.h"
#include "adapters/ProxySource.h"
#include "app/UserPrompts.h"
#include "apply/CommandRunner.h"
#include "apply/IcmpNetwork.h"
#include "apply/TickClock.h"
#include "base/RegistryStore.h"
#include "store/ConfigFile.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace tarnwick::gui
{

// What the main window works with besides its widgets: the settings stores,
// the back ends, the shared snapshot and the questions it asks. The entry
// point builds the real ones once; tests wire temporary stores and fakes.
struct MainWindowContext {
    UserPrompts& prompts;
    RegistryStore& registry;
    std::filesystem::path iniPath; // "config.ini"
    AdapterSource& adapters;
    LiveValuesSource& live;
    LiveSnapshot& snapshot;
    // The configuration file's check.
    std::function<ConfigCheck(const std::string& path)> checkConfigFile;
    // The echo exchange of the network test and of the apply's check, and
    // their tick count. Tests put in their own where no network may be touched.
    IcmpNetwork& icmp;
    TickClock& ticks;
    // What the apply runs its command lines through (netsh) and where it
    // writes the proxy (the desktop's).
    CommandRunner& runner;
    ProxySource& proxy;
    // Runs the desktop's database tools after the file type changed; empty
    // means the system's programs.
    std::function<void(const std::vector<std::string>& argv)> desktopTools;
    // Where a relative "ConfigFile" lies, and where the first start makes
    // the configuration file; empty takes such a path as it is.
    std::filesystem::path settingsFolder;
};

} // namespace tarnwick::gui
