#include "cli/ConfigOption.h"
#include "cli/StreamMessageSink.h"
#include "cli/Verbs.h"
#include "store/ConfigFile.h"
#include "store/ConfigList.h"

#include <exception>
#include <ostream>

namespace tarnwick::cli
{
namespace
{

// Keeps one record on one line whatever its name holds.
std::string oneLine(std::string text)
{
    for (char& c : text) {
        if (c == '\n' || c == '\r' || c == '\t')
            c = ' ';
    }
    return text;
}

} // namespace

// `tarnwick list [--config FILE]`: the records a list refresh would load, one
// line each: position, TAB, ID, TAB, caption. Reads the file and changes
// nothing. Records that share an ID are all listed, after a warning naming
// the IDs on stderr. Exit 0, 1 when the file is missing, 2 when the loader
// refuses it (as `check` does).
int runList(const std::vector<std::string>& args, Io io)
{
    std::string path;
    bool haveConfig = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--config" && i + 1 < args.size() && !haveConfig) {
            path = args[++i];
            haveConfig = true;
        } else if (args[i].starts_with("--config=") && !haveConfig) {
            path = args[i].substr(9);
            haveConfig = true;
        } else {
            printUsage(io.err);
            return kUsageExit;
        }
    }
    StreamMessageSink sink(io.err);
    try {
        if (!haveConfig)
            path = configFileSetting();
        const auto table = loadConfigTable(path, sink);
        if (!table) {
            io.err << "tarnwick: list: no configuration file at " << path << '\n';
            return 1;
        }
        if (const auto ids = repeatedRecordIds(*table); !ids.empty())
            sink.show(MessageSink::Kind::Warning, repeatedIdsMessage(ids));
        for (std::size_t i = 0; i < table->count(); ++i) {
            const ConfigRecord& r = table->records[i];
            io.out << i << '\t' << oneLine(r[ConfigField::Id]) << '\t' << oneLine(recordCaption(r, i))
                   << '\n';
        }
    } catch (const std::exception& e) {
        sink.show(MessageSink::Kind::Error, e.what());
        return 2;
    }
    return 0;
}

} // namespace tarnwick::cli
