#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tarnwick::cli
{

// Exit status for unknown verbs and bad arguments (EX_USAGE).
inline constexpr int kUsageExit = 64;

struct Io {
    std::ostream& out;
    std::ostream& err;
};

// True when the first argument names one of the command-line verbs.
bool isVerb(const std::string& word);

// Runs the verb named by args[0] with the rest as its arguments. --help (-h,
// help) prints the usage on `out`, --version the version, both with status 0;
// anything else it does not understand gets the usage on `err` and kUsageExit.
int run(const std::vector<std::string>& args, Io io);

// The usage text, its columns lined up.
void printUsage(std::ostream& out);

} // namespace tarnwick::cli
