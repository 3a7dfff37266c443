#include "cli/StreamMessageSink.h"
#include "cli/Verbs.h"
#include "store/ConfigFile.h"
#include "store/StoreMessages.h"

#include <ostream>

namespace tarnwick::cli
{

// `tarnwick check FILE`: the verdict of the loader the list and the window
// use, stricter only in refusing records that share an ID (the window lists
// them with a warning). The result (0 valid, 1 missing, 2 invalid) is the
// last line on stdout and the exit status; the messages, with the reason,
// go to stderr.
int runCheck(const std::vector<std::string>& args, Io io)
{
    if (args.size() != 1 || args[0].empty() || args[0].starts_with("--")) {
        printUsage(io.err);
        return kUsageExit;
    }
    StreamMessageSink sink(io.err);
    std::string why;
    const ConfigCheck result = checkConfigFile(args[0], sink, RepeatedIds::Refuse, &why);
    if (result == ConfigCheck::Missing)
        io.err << "tarnwick: check: no file at " << args[0] << '\n';
    if (result == ConfigCheck::Invalid) {
        sink.show(MessageSink::Kind::Error, msg::kConfigInvalid);
        io.err << "tarnwick: check: " << why << '\n';
    }
    const int number = static_cast<int>(result);
    io.out << number << '\n';
    return number;
}

} // namespace tarnwick::cli
