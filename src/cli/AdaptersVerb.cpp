#include "adapters/StatusReadout.h"
#include "base/Text.h"
#include "cli/Verbs.h"

#include <ostream>

namespace tarnwick::cli
{

// `tarnwick adapters`: the adapter list as the window shows it, one line per
// list line: index, TAB, line, TAB, instance id. The "no adapter" line names
// no adapter and carries "-" as its index.
int runAdapters(const std::vector<std::string>& args, Io io)
{
    if (!args.empty()) {
        io.err << "usage: tarnwick adapters\n";
        return kUsageExit;
    }
    const AdapterTable table = discoverAdapters();
    if (table.count() == 0) {
        io.out << "-\t" << kNoAdapterLine << "\t\n";
        return 0;
    }
    const std::vector<std::string> lines = table.listLines();
    for (int i = 0; i < table.count(); ++i)
        io.out << i << '\t' << printable(lines[static_cast<std::size_t>(i)]) << '\t'
               << printable(table.at(i).instanceId) << '\n';
    return 0;
}

} // namespace tarnwick::cli
