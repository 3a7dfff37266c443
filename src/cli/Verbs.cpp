#include "cli/Verbs.h"

namespace tarnwick::cli
{

int runAdapters(const std::vector<std::string>& args, Io io);
int runStatus(const std::vector<std::string>& args, Io io);
int runCheck(const std::vector<std::string>& args, Io io);
int runList(const std::vector<std::string>& args, Io io);
int runProbe(const std::vector<std::string>& args, Io io);
int runApply(const std::vector<std::string>& args, Io io);

// Each verb lives in its own file; add its declaration and one row here.
const std::vector<Verb>& verbs()
{
    static const std::vector<Verb> all = {
        { "adapters", "", "list the adapters: index, line, instance id", runAdapters },
        { "status", "[--adapter N]", "one full status read as key=value lines", runStatus },
        { "check", "FILE", "check a configuration file: 0 valid, 1 missing, 2 invalid", runCheck },
        { "list", "[--config FILE]", "the stored configurations: position, ID, caption", runList },
        { "probe", "[--adapter N]", "test the gateway and first DNS server in force", runProbe },
        { "apply", "[--config FILE] [--adapter N] [--dry-run | --try SECONDS] (--id ID | CAPTION | FILE.twk)",
            "switch the adapter to a stored configuration; --try: put back unless Enter comes within SECONDS "
            "(exit 3; 4 if it cannot be)",
            runApply },
    };
    return all;
}

} // namespace tarnwick::cli
