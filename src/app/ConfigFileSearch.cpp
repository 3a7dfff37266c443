#include "app/ConfigFileSearch.h"

#include "base/AtomicFile.h"
#include "base/Settings.h"

#include <exception>
#include <filesystem>

namespace tarnwick::gui
{

std::string settleConfigFile(
    std::string path, RegistryStore& store, UserPrompts& prompts, const ConfigFileOps& ops)
{
    const std::string null(settings::kNoConfigFile);
    while (path != null && !ops.exists(path)) {
        prompts.show(MessageSink::Kind::Error, kConfigNotFound);
        const std::string chosen = prompts.askSaveFileName();
        if (chosen.empty()) {
            path = null;
            break;
        }
        path = chosen;
        settings::writeConfigFile(store, path);
        if (!ops.exists(path)) {
            // The dialog keeps its last name, so asking again could never end;
            // a new name makes the program's first configuration file instead.
            try {
                ops.createEmpty(path);
            } catch (const std::exception& e) {
                prompts.show(MessageSink::Kind::Error, e.what());
                path = null;
            }
        }
    }
    if (path != null && ops.check && ops.check(path) != ConfigCheck::Valid) {
        prompts.show(MessageSink::Kind::Error, kConfigInvalid);
        path = null;
        settings::writeConfigFile(store, settings::kDefaultConfigFile);
    }
    return path;
}

std::string emptyConfigFileBytes()
{
    return "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<ConfigBox LastID=\"0\"/>\r\n";
}

ConfigFileOps realConfigFileOps(std::function<ConfigCheck(const std::string&)> check)
{
    ConfigFileOps ops;
    ops.exists = [](const std::string& path) {
        std::error_code ec;
        return std::filesystem::is_regular_file(path, ec);
    };
    ops.check = std::move(check);
    ops.createEmpty
        = [](const std::string& path) { writeFileAtomically(path, emptyConfigFileBytes(), 0644); };
    return ops;
}

} // namespace tarnwick::gui
