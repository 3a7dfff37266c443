// netsh-helper: carries out the `netsh interface ip ...` command lines of an
// apply on a Linux interface, set-user-ID root for the members of its group.
// Its DHCP clients report leases to tarnwick-lease-hook, a program of its own.
#include "netsh/CommandParser.h"
#include "netsh/RunResult.h"
#include "netsh/linux/Commands.h"
#include "netsh/linux/RaisedRights.h"

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    using namespace tarnwick::netsh;
    const StartRights rights = settleStartRights();
    if (!rights.refusal.empty())
        return finish(RunResult { 1, {}, rights.refusal + "\n" });
    const ParseResult parsed
        = parseCommand(std::vector<std::string>(argc > 0 ? argv + 1 : argv, argv + argc));
    if (const auto* error = std::get_if<ParseError>(&parsed))
        return finish(RunResult { 1, {}, refusalText(*error) });
    return finish(runCommand(std::get<Command>(parsed)));
}
