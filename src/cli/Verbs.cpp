#include "cli/Verbs.h"

namespace tarnwick::cli {

int runAdapters(const std::vector<std::string>& args, Io io);
int runStatus(const std::vector<std::string>& args, Io io);

// Each verb lives in its own file; add its declaration and one row here.
const std::vector<Verb>& verbs()
{
    static const std::vector<Verb> all = {
        {"adapters", "adapters                 list the adapters: index, line, instance id", runAdapters},
        {"status", "status [--adapter N]     one full status read as key=value lines", runStatus},
    };
    return all;
}

} // namespace tarnwick::cli
