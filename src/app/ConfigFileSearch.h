#pragma once

#include "app/UserPrompts.h"
#include "base/RegistryStore.h"
#include "store/ConfigFile.h"
#include "store/StoreMessages.h"

#include <functional>
#include <string>

namespace tarnwick::gui
{

// At start-up the user is asked where the file is, so this not-found text
// differs from the store's; an invalid file is the store's own text.
inline constexpr const char* kConfigNotFound = "未找到配置文件,请选择配置文件所在的位置！";
using msg::kConfigInvalid;
// Said before the program ends for want of a configuration file.
inline constexpr const char* kNoConfigFileEnds = "没有可用的配置文件，程序将退出。";

// The file operations the search needs, apart so tests can watch them.
struct ConfigFileOps {
    std::function<bool(const std::string& path)> exists;
    // 0 when the file is a valid configuration file (the store's check).
    std::function<ConfigCheck(const std::string& path)> check;
    // Writes an empty, valid configuration file; throws when it cannot.
    std::function<void(const std::string& path)> createEmpty;
};

// Settles the configuration file at start-up: while the path names no file,
// says so and asks with the save-file dialog (a chosen name is stored as
// "ConfigFile", a cancel gives "null"); a typed name for which no file exists
// gets an empty configuration file, so the first file can come into being
// here. Then checks the file: an invalid one is reported, "ConfigFile" reset
// to "config.xml" and "null" returned.
std::string settleConfigFile(
    std::string path, RegistryStore& store, UserPrompts& prompts, const ConfigFileOps& ops);

// The file ops on the real file system: std::filesystem for existence, the
// bytes of an empty configuration file written atomically.
ConfigFileOps realConfigFileOps(std::function<ConfigCheck(const std::string&)> check);

// An empty configuration file: the declaration line and an empty ConfigBox.
std::string emptyConfigFileBytes();

} // namespace tarnwick::gui
