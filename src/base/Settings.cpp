#include "base/Settings.h"

#include "base/ServiceError.h"
#include "base/StorePaths.h"
#include "base/TIniFile.h"
#include "base/TRegistry.h"
#include "base/Text.h"

#include <charconv>
#include <system_error>

namespace tarnwick::settings
{
namespace
{

// Every handler opens the settings key with create.
TRegistry openSettings(RegistryStore& store)
{
    TRegistry reg(store);
    reg.SetRootKey(kSettingsRoot);
    reg.OpenKey(kSettingsKey, true);
    return reg;
}

// Profile writes create the file; its folder (under ~/.config) may be missing.
void prepareFolder(const std::filesystem::path& ini)
{
    try {
        makePrivateFolder(ini.parent_path());
    } catch (const std::system_error& e) {
        throw ServiceError(ServiceError::Kind::ProfileWrite, ini.string(), e.what());
    }
}

} // namespace

bool switchIsOn(std::string_view text)
{
    return text == kOn;
}
bool iconSizeIsLarge(std::string_view text)
{
    return text == kOff;
}
bool advancedIsNarrow(std::string_view text)
{
    return text == kOff;
}

std::string readValue(RegistryStore& store, std::string_view name)
{
    return openSettings(store).ReadString(name);
}

std::string peekValue(RegistryStore& store, std::string_view name)
{
    TRegistry reg(store);
    reg.SetRootKey(kSettingsRoot);
    return reg.OpenKeyReadOnly(kSettingsKey) ? reg.ReadString(name) : std::string();
}

void writeValue(RegistryStore& store, std::string_view name, std::string_view text)
{
    openSettings(store).WriteString(name, text);
}

void writeConfigFile(RegistryStore& store, std::string_view path)
{
    writeValue(store, kConfigFile, path);
}
void writeShortcut(RegistryStore& store, bool on)
{
    writeValue(store, kShortcut, on ? kOn : kOff);
}

bool toggleIconSize(RegistryStore& store)
{
    TRegistry reg = openSettings(store);
    const bool large = !iconSizeIsLarge(reg.ReadString(kIconSize));
    reg.WriteString(kIconSize, large ? kOff : kOn);
    return large;
}

void writeAdvanced(RegistryStore& store, bool wide)
{
    writeValue(store, kAdvanced, wide ? kOn : kOff);
}
void writeDefaultNetCard(RegistryStore& store, int index)
{
    writeValue(store, kDefaultNetCard, std::to_string(index));
}
void writeSetAgent(RegistryStore& store, bool on)
{
    writeValue(store, kSetAgent, on ? kOn : kOff);
}

StartupSettings readStartupSettings(RegistryStore& store)
{
    StartupSettings s;
    try {
        TRegistry reg = openSettings(store);
        reg.WriteString(kVer, kVersionText);

        const std::string configFile = reg.ReadString(kConfigFile);
        if (configFile.empty())
            reg.WriteString(kConfigFile, kDefaultConfigFile);
        s.configFilePath = configFile.empty() ? std::string(kDefaultConfigFile) : configFile;
        s.firstConfigFile = configFile.empty();

        s.shortcutChecked = switchIsOn(reg.ReadString(kShortcut));

        const std::string iconSize = reg.ReadString(kIconSize);
        if (iconSize.empty())
            reg.WriteString(kIconSize, kOff);
        s.largeIcons = iconSize.empty() || iconSizeIsLarge(iconSize);

        // A first start writes "0" but keeps the window as designed (wide);
        // from the next start on it opens narrow.
        const std::string advanced = reg.ReadString(kAdvanced);
        if (advanced.empty())
            reg.WriteString(kAdvanced, kOff);
        s.narrowWindow = !advanced.empty() && advancedIsNarrow(advanced);

        s.defaultNetCard = reg.ReadString(kDefaultNetCard);

        const std::string setAgent = reg.ReadString(kSetAgent);
        if (setAgent.empty())
            reg.WriteString(kSetAgent, kOff);
        s.setAgentChecked = switchIsOn(setAgent);
        reg.CloseKey();
    } catch (const std::exception& e) {
        s.error = e.what();
    }
    return s;
}

std::string readSkin(const std::filesystem::path& ini)
{
    return TIniFile(ini).ReadString(kSettingSection, kSkinKey, kDefaultSkin);
}

void writeSkin(const std::filesystem::path& ini, std::string_view skin)
{
    prepareFolder(ini);
    TIniFile(ini).WriteString(kSettingSection, kSkinKey, trimSpaces(skin));
}

bool isDialUpSection(std::string_view section)
{
    return foldCase(section).find("setting") == std::string::npos;
}

std::vector<std::string> dialUpEntries(const std::filesystem::path& ini)
{
    std::vector<std::string> entries;
    for (std::string& section : TIniFile(ini).ReadSections()) {
        if (isDialUpSection(section))
            entries.push_back(std::move(section));
    }
    return entries;
}

DialUpCredentials readDialUpCredentials(const std::filesystem::path& ini, std::string_view entry)
{
    const TIniFile file(ini);
    DialUpCredentials c;
    c.user = file.ReadString(entry, kUserKey, kDefaultCredential);
    c.password = file.ReadString(entry, kPasswordKey, kDefaultCredential);
    return c;
}

void writeDialUpCredentials(
    const std::filesystem::path& ini, std::string_view entry, const DialUpCredentials& credentials)
{
    prepareFolder(ini);
    TIniFile file(ini);
    file.WriteString(entry, kUserKey, credentials.user);
    file.WriteString(entry, kPasswordKey, credentials.password);
}

void eraseDialUpEntry(const std::filesystem::path& ini, std::string_view entry)
{
    TIniFile(ini).EraseSection(entry);
}

} // namespace tarnwick::settings
