#include "base/Settings.h"
#include "base/MemoryRegistryStore.h"
#include "base/ServiceError.h"
#include "base/StorePaths.h"
#include "base/TIniFile.h"
#include "base/TRegistry.h"
#include "base/linux/RegFileStore.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace tarnwick;
namespace st = tarnwick::settings;

namespace
{

void put(RegistryStore& store, std::string_view name, std::string_view text)
{
    TRegistry reg(store);
    reg.SetRootKey(RegRoot::LocalMachine);
    reg.OpenKey("SOFTWARE\\tarnwick", true);
    reg.WriteString(name, text);
}

std::vector<std::pair<std::string, std::string>> settingsValues(const RegistryStore& store)
{
    std::vector<std::pair<std::string, std::string>> out;
    const RegHive hive = store.load(RegRoot::LocalMachine);
    if (const RegKey* key = hive.find("SOFTWARE\\tarnwick")) {
        for (const auto& [name, value] : key->values) {
            EXPECT_EQ(value.kind(), RegType::Sz) << name;
            out.emplace_back(name, value.text);
        }
    }
    return out;
}

} // namespace

TEST(Settings, FirstStartCreatesTheKeyWithItsDefaults)
{
    test::TempDir dir;
    RegFileStore store(dir / "registry");
    const st::StartupSettings s = st::readStartupSettings(store);
    EXPECT_EQ(s.error, "");
    EXPECT_EQ(s.configFilePath, "config.xml");
    EXPECT_TRUE(s.firstConfigFile);
    EXPECT_FALSE(s.shortcutChecked);
    EXPECT_TRUE(s.largeIcons);
    EXPECT_FALSE(s.narrowWindow); // the first start stays wide although "Advanced" now reads "0"
    EXPECT_FALSE(s.setAgentChecked);
    EXPECT_EQ(s.defaultNetCard, "");
    using V = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(settingsValues(store),
        (V { { "Ver", "1.0" }, { "ConfigFile", "config.xml" }, { "IconSize", "0" }, { "Advanced", "0" },
            { "SetAgent", "0" } }));

    // The second start opens narrow; nothing else changes.
    const st::StartupSettings second = st::readStartupSettings(store);
    EXPECT_TRUE(second.narrowWindow);
    EXPECT_FALSE(second.firstConfigFile); // from now on a missing file is asked for
    EXPECT_EQ(settingsValues(store),
        (V { { "Ver", "1.0" }, { "ConfigFile", "config.xml" }, { "IconSize", "0" }, { "Advanced", "0" },
            { "SetAgent", "0" } }));
}

TEST(Settings, SwitchesCompareExactTexts)
{
    struct Case {
        const char* shotcut;
        const char* iconSize;
        const char* advanced;
        const char* setAgent;
        bool shortcutChecked, largeIcons, narrowWindow, setAgentChecked;
    };
    const Case cases[] = {
        { "1", "0", "0", "1", true, true, true, true },
        { "0", "1", "1", "0", false, false, false, false },
        { "2", "2", "2", "2", false, false, false, false },
        { " 1", "0 ", " 0", "1 ", false, false, false, false },
        { "yes", "00", "false", "true", false, false, false, false },
    };
    for (const Case& c : cases) {
        MemoryRegistryStore store;
        put(store, "shotcut", c.shotcut);
        put(store, "IconSize", c.iconSize);
        put(store, "Advanced", c.advanced);
        put(store, "SetAgent", c.setAgent);
        put(store, "ConfigFile", "D:\\家\\c.xml");
        put(store, "DefaultNetCard", "1");
        const st::StartupSettings s = st::readStartupSettings(store);
        EXPECT_EQ(s.shortcutChecked, c.shortcutChecked) << c.shotcut;
        EXPECT_EQ(s.largeIcons, c.largeIcons) << c.iconSize;
        EXPECT_EQ(s.narrowWindow, c.narrowWindow) << c.advanced;
        EXPECT_EQ(s.setAgentChecked, c.setAgentChecked) << c.setAgent;
        EXPECT_EQ(s.configFilePath, "D:\\家\\c.xml");
        EXPECT_EQ(s.defaultNetCard, "1");
        // Values that were set are never rewritten; "shotcut" missing is not written.
        EXPECT_EQ(st::readValue(store, "IconSize"), c.iconSize);
    }
    MemoryRegistryStore empty;
    st::readStartupSettings(empty);
    EXPECT_EQ(st::readValue(empty, "shotcut"), "");
    TRegistry reg(empty);
    reg.SetRootKey(RegRoot::LocalMachine);
    reg.OpenKey("SOFTWARE\\tarnwick", false);
    EXPECT_FALSE(reg.ValueExists("shotcut"));
    EXPECT_FALSE(reg.ValueExists("DefaultNetCard"));
}

TEST(Settings, WritersStoreTheProgramsTexts)
{
    MemoryRegistryStore store;
    st::writeShortcut(store, true);
    st::writeAdvanced(store, true);
    st::writeSetAgent(store, false);
    st::writeDefaultNetCard(store, 3);
    st::writeConfigFile(store, "config.xml");
    EXPECT_EQ(st::readValue(store, "shotcut"), "1");
    EXPECT_EQ(st::readValue(store, "Advanced"), "1");
    EXPECT_EQ(st::readValue(store, "SetAgent"), "0");
    EXPECT_EQ(st::readValue(store, "DefaultNetCard"), "3");
    EXPECT_EQ(st::readValue(store, "ConfigFile"), "config.xml");
    // "调整图标" toggles; a foreign text counts as small icons, so it becomes large.
    put(store, "IconSize", "2");
    EXPECT_TRUE(st::toggleIconSize(store));
    EXPECT_EQ(st::readValue(store, "IconSize"), "0");
    EXPECT_FALSE(st::toggleIconSize(store));
    EXPECT_EQ(st::readValue(store, "IconSize"), "1");
}

TEST(Settings, RefusedWriteEndsTheStartUpReadsAtThatStep)
{
    MemoryRegistryStore store;
    put(store, "ConfigFile", "mine.xml");
    store.setReadOnly(true);
    const st::StartupSettings s = st::readStartupSettings(store);
    EXPECT_EQ(s.error, "Failed to set data for 'Ver'");
    EXPECT_EQ(s.configFilePath, "null"); // nothing usable was read
}

TEST(Settings, ConfigIniHoldsSkinAndDialUpEntries)
{
    test::TempDir dir;
    const auto ini = dir / "sub" / "config.ini"; // its folder is made on the first write
    EXPECT_EQ(st::readSkin(ini), "Valentine");
    EXPECT_TRUE(st::dialUpEntries(ini).empty());
    st::writeSkin(ini, "  Xmas2008Blue ");
    EXPECT_EQ(st::readSkin(ini), "Xmas2008Blue");
    struct stat s {
    };
    ASSERT_EQ(::stat(ini.c_str(), &s), 0);
    EXPECT_EQ(s.st_mode & 0777, 0600u);

    st::writeDialUpCredentials(ini, "宽带连接", { "用户", " secret " });
    st::writeDialUpCredentials(ini, "MySettings", { "a", "b" });
    st::writeDialUpCredentials(ini, "office", { "c", "d" });
    TIniFile(ini).WriteString("SETTINGS2", "x", "y");
    EXPECT_EQ(st::dialUpEntries(ini), (std::vector<std::string> { "宽带连接", "office" }));
    const st::DialUpCredentials c = st::readDialUpCredentials(ini, "宽带连接");
    EXPECT_EQ(c.user, "用户");
    EXPECT_EQ(c.password, " secret ");
    const st::DialUpCredentials none = st::readDialUpCredentials(ini, "unknown");
    EXPECT_EQ(none.user, "0");
    EXPECT_EQ(none.password, "0");
    st::eraseDialUpEntry(ini, "宽带连接");
    EXPECT_EQ(st::dialUpEntries(ini), (std::vector<std::string> { "office" }));
    EXPECT_EQ(st::readSkin(ini), "Xmas2008Blue");
}

TEST(StorePaths, LocationsFollowTheEnvironment)
{
    StoreEnvironment env;
    env.home = "/home/u";
    env.executableDir = "/opt/tw";
    EXPECT_EQ(registryFolder(env), "/home/u/.config/tarnwick/registry");
    EXPECT_EQ(configIniPath(env), "/home/u/.config/tarnwick/config.ini");
    env.executableDirWritable = true;
    EXPECT_EQ(configIniPath(env), "/opt/tw/config.ini");
    env.xdgConfigHome = "/x";
    EXPECT_EQ(registryFolder(env), "/x/tarnwick/registry");
    env.xdgConfigHome = "relative"; // not absolute: ignored
    EXPECT_EQ(registryFolder(env), "/home/u/.config/tarnwick/registry");
    env.tarnwickHome = "/t";
    EXPECT_EQ(registryFolder(env), "/t/registry");
    EXPECT_EQ(configIniPath(env), "/t/config.ini");
    env.tarnwickHome = "";
    EXPECT_EQ(configIniPath(env), "/opt/tw/config.ini");
}

// "ConfigFile" names the same file whichever folder the program was started
// from: a relative one lies in the settings' folder.
TEST(StorePaths, ARelativeConfigFileLiesInTheSettingsFolder)
{
    StoreEnvironment env;
    env.home = "/home/u";
    EXPECT_EQ(settingsFolder(env), "/home/u/.config/tarnwick");
    env.xdgConfigHome = "/x";
    EXPECT_EQ(settingsFolder(env), "/x/tarnwick");
    env.tarnwickHome = "/t";
    EXPECT_EQ(settingsFolder(env), "/t");

    const struct {
        const char* stored;
        const char* folder;
        const char* expected;
    } cases[] = {
        { "config.xml", "/t", "/t/config.xml" },
        { "sub/../office.xml", "/t", "/t/office.xml" },
        { "/srv/net/config.xml", "/t", "/srv/net/config.xml" },
        { "null", "/t", "null" },
        { "", "/t", "" },
        { "config.xml", "", "config.xml" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(resolveConfigFile(c.stored, c.folder), c.expected) << c.stored << " in " << c.folder;
}
