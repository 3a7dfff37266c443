// netsh: the program the runner starts for each `netsh interface ip ...`
// command line, with the caller's own rights. It checks the command, then
// hands it on: where a system bus runs, to netsh-nm, which changes a link
// NetworkManager manages through NetworkManager; else (and for every other
// link) to the privileged netsh-helper. Static, as the helper: a machine
// without NetworkManager pays for no library it does not use.
#include "linkstate/LinkState.h"
#include "netsh/CommandParser.h"
#include "netsh/RunResult.h"
#include "netsh/front/Beside.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    using namespace tarnwick;
    using namespace tarnwick::netsh;
    if (argc < 1)
        return 1;
    const ParseResult parsed = parseCommand(std::vector<std::string>(argv + 1, argv + argc));
    if (const auto* error = std::get_if<ParseError>(&parsed))
        return finish(RunResult { 1, {}, refusalText(*error) });
    const Command& command = std::get<Command>(parsed);
    if (!command.name.empty() && isValidInterfaceName(command.name) && systemBusSocketExists())
        return execBeside(kNmFrontName, argv);
    return execBeside(kHelperName, argv);
}
