#include "cli/Cli.h"

#include "cli/Verbs.h"

#include <algorithm>
#include <ostream>

namespace tarnwick::cli {

bool isVerb(const std::string& word)
{
    const auto& all = verbs();
    return std::any_of(all.begin(), all.end(), [&](const Verb& v) { return word == v.name; });
}

void printUsage(std::ostream& err)
{
    err << "usage: tarnwick                 start the window\n"
           "       tarnwick FILE.twk        start the window and switch to a quick-switch file\n";
    for (const Verb& v : verbs())
        err << "       tarnwick " << v.synopsis << "\n";
}

int run(const std::vector<std::string>& args, Io io)
{
    if (!args.empty()) {
        for (const Verb& v : verbs()) {
            if (args[0] == v.name)
                return v.run(std::vector<std::string>(args.begin() + 1, args.end()), io);
        }
    }
    printUsage(io.err);
    return kUsageExit;
}

} // namespace tarnwick::cli
