#include "cli/Cli.h"

#include "cli/Verbs.h"

#include "base/Version.h"

#include <algorithm>
#include <ostream>
#include <utility>

namespace tarnwick::cli
{

namespace
{

bool isHelp(const std::string& word)
{
    return word == "--help" || word == "-h" || word == "help";
}

} // namespace

bool isVerb(const std::string& word)
{
    const auto& all = verbs();
    return std::any_of(all.begin(), all.end(), [&](const Verb& v) { return word == v.name; });
}

void printUsage(std::ostream& out)
{
    std::vector<std::pair<std::string, std::string>> rows = {
        { "", "start the window" },
        { "FILE.twk", "start the window and switch to a quick-switch file" },
    };
    for (const Verb& v : verbs())
        rows.emplace_back(std::string(v.name) + (*v.arguments ? " " : "") + v.arguments, v.summary);
    rows.emplace_back("--help | --version", "this text; the program's version");
    // A form too long for the column puts its summary on a line of its own.
    constexpr std::size_t kColumn = 32;
    std::size_t width = 0;
    for (const auto& row : rows)
        if (row.first.size() <= kColumn)
            width = std::max(width, row.first.size());
    const char* lead = "usage: ";
    const std::string indent(std::string("usage: tarnwick ").size() + width + 2, ' ');
    for (const auto& [form, summary] : rows) {
        out << lead << "tarnwick " << form;
        if (form.size() > width)
            out << '\n' << indent << summary << '\n';
        else
            out << std::string(width - form.size() + 2, ' ') << summary << '\n';
        lead = "       ";
    }
}

int run(const std::vector<std::string>& args, Io io)
{
    if (!args.empty()) {
        if (isHelp(args[0]) && args.size() == 1) {
            printUsage(io.out);
            return 0;
        }
        if (args[0] == "--version" && args.size() == 1) {
            io.out << "tarnwick " << kVersion << '\n';
            return 0;
        }
        for (const Verb& v : verbs()) {
            if (args[0] == v.name)
                return v.run(std::vector<std::string>(args.begin() + 1, args.end()), io);
        }
    }
    printUsage(io.err);
    return kUsageExit;
}

} // namespace tarnwick::cli
