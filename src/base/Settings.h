#pragma once

#include "base/RegRoot.h"
#include "base/RegistryStore.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The program's persisted settings: the values of the settings key
// HKEY_LOCAL_MACHINE "SOFTWARE\tarnwick" (all REG_SZ texts) and of the profile
// file "config.ini" (skin and dial-up credentials). Every function opens the
// store, reads or writes, and closes it; nothing is cached. Registry writes
// that the store refuses throw ServiceError; profile writes likewise.
namespace tarnwick::settings
{

inline constexpr RegRoot kSettingsRoot = RegRoot::LocalMachine;
inline constexpr std::string_view kSettingsKey = "SOFTWARE\\tarnwick";

// Value names of the settings key ("shotcut" is spelled so on purpose: it is
// the name existing installations hold).
inline constexpr std::string_view kVer = "Ver";
inline constexpr std::string_view kConfigFile = "ConfigFile";
inline constexpr std::string_view kShortcut = "shotcut";
inline constexpr std::string_view kIconSize = "IconSize";
inline constexpr std::string_view kAdvanced = "Advanced";
inline constexpr std::string_view kDefaultNetCard = "DefaultNetCard";
inline constexpr std::string_view kSetAgent = "SetAgent";

inline constexpr std::string_view kVersionText = "1.0";
inline constexpr std::string_view kDefaultConfigFile = "config.xml";
// ConfigFilePath when no usable configuration file was chosen.
inline constexpr std::string_view kNoConfigFile = "null";

// Switch texts are compared exactly; "1" and "0" are the only texts written.
inline constexpr std::string_view kOn = "1";
inline constexpr std::string_view kOff = "0";

// ---- Pure rules: what a stored text means ---------------------------------
// "shotcut", "SetAgent": "1" on, any other text off.
bool switchIsOn(std::string_view text);
// "IconSize": "0" large icons, any other text small.
bool iconSizeIsLarge(std::string_view text);
// "Advanced": "0" narrow window, any other text wide.
bool advancedIsNarrow(std::string_view text);

// ---- Settings key ---------------------------------------------------------
// Any value as text (empty when missing); opens the key with create, as every
// handler of the program does.
std::string readValue(RegistryStore& store, std::string_view name);
// The same without creating anything: for readers that must change nothing
// (the command line). Empty when the key or the value is missing.
std::string peekValue(RegistryStore& store, std::string_view name);
void writeValue(RegistryStore& store, std::string_view name, std::string_view text);

void writeConfigFile(RegistryStore& store, std::string_view path);
void writeShortcut(RegistryStore& store, bool on);
// "调整图标" toggles the icon size: large becomes "1", anything else "0".
// Returns whether the list now shows large icons.
bool toggleIconSize(RegistryStore& store);
void writeAdvanced(RegistryStore& store, bool wide);
void writeDefaultNetCard(RegistryStore& store, int index);
void writeSetAgent(RegistryStore& store, bool on);

// What the main window does with the settings at start-up.
struct StartupSettings {
    // "ConfigFile", or "config.xml" written when it was empty. The window
    // then looks for the file (dialogs) and checks it; see writeConfigFile.
    std::string configFilePath { kNoConfigFile };
    // No "ConfigFile" was stored yet: a first start, with no file to look for.
    bool firstConfigFile = false;
    bool shortcutChecked = false; // "快捷方式"
    bool largeIcons = true; // view style of the configuration list
    bool narrowWindow = false; // narrow as "高级>>" does; the window is designed wide
    bool setAgentChecked = false; // "启用该设置功能"; its enable rule follows
    std::string defaultNetCard; // kept for the adapter selection
    // Text of the error that ended the reads early (a refused write); the
    // fields after the failing step keep the values above. Empty when all ran.
    std::string error;
};

// The start-up reads of the settings key, in their order: writes "Ver" =
// "1.0"; reads "ConfigFile" (writes "config.xml" when empty); "shotcut";
// "IconSize" (writes "0" when empty: large); "Advanced" (writes "0" when
// empty and leaves the window wide for this start); "DefaultNetCard";
// "SetAgent" (writes "0" when empty). A first start thus creates the key
// with "Ver", "ConfigFile", "IconSize", "Advanced" and "SetAgent".
StartupSettings readStartupSettings(RegistryStore& store);

// ---- config.ini -----------------------------------------------------------
inline constexpr std::string_view kSettingSection = "Setting";
inline constexpr std::string_view kSkinKey = "Sskin";
inline constexpr std::string_view kDefaultSkin = "Valentine";
inline constexpr std::string_view kUserKey = "Syhm";
inline constexpr std::string_view kPasswordKey = "Smm";
inline constexpr std::string_view kDefaultCredential = "0";

// "Sskin" of "Setting", "Valentine" when missing.
std::string readSkin(const std::filesystem::path& ini);
// Stores the skin name trimmed; creates the file (mode 0600) and its folder.
void writeSkin(const std::filesystem::path& ini, std::string_view skin);

// A section that is a dial-up entry: its name does not contain "Setting" in
// any letter case.
bool isDialUpSection(std::string_view section);
// The dial-up entries of the file, in file order.
std::vector<std::string> dialUpEntries(const std::filesystem::path& ini);

struct DialUpCredentials {
    std::string user = std::string(kDefaultCredential);
    std::string password = std::string(kDefaultCredential);
};
DialUpCredentials readDialUpCredentials(const std::filesystem::path& ini, std::string_view entry);
// Writes "Syhm" and "Smm" of the entry's section (as typed).
void writeDialUpCredentials(
    const std::filesystem::path& ini, std::string_view entry, const DialUpCredentials& credentials);
void eraseDialUpEntry(const std::filesystem::path& ini, std::string_view entry);

} // namespace tarnwick::settings
