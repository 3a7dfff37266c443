#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tarnwick::cli {

// Exit status for unknown verbs and bad arguments (EX_USAGE).
inline constexpr int kUsageExit = 64;

struct Io {
    std::ostream& out;
    std::ostream& err;
};

// True when the first argument names one of the command-line verbs.
bool isVerb(const std::string& word);

// Runs the verb named by args[0] with the rest as its arguments; prints the
// usage text and returns kUsageExit for anything it does not understand.
int run(const std::vector<std::string>& args, Io io);

void printUsage(std::ostream& err);

} // namespace tarnwick::cli
