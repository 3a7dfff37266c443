#pragma once

#include "cli/Cli.h"

#include <string>
#include <vector>

// One function per verb; each receives the arguments after the verb.
namespace tarnwick::cli
{

struct Verb {
    const char* name;
    const char* arguments; // as the usage shows them after the name
    const char* summary;
    int (*run)(const std::vector<std::string>& args, Io io);
};

const std::vector<Verb>& verbs();

} // namespace tarnwick::cli
