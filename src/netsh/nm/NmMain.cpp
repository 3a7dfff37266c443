// netsh-nm: netsh's part for a machine with a system bus. A link
// NetworkManager manages is changed through NetworkManager with the caller's
// own rights (NetworkManager's rules decide); a link another manager holds is
// refused; any other link goes to the privileged helper.
#include "linkstate/LinkState.h"
#include "netsh/CommandParser.h"
#include "netsh/RunResult.h"
#include "netsh/front/Beside.h"
#include "netsh/nm/NmLink.h"

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
    if (!command.name.empty() && isValidInterfaceName(command.name)) {
        const nm::LinkManager manager = nm::findLinkManager(command.name);
        if (manager.kind == nm::LinkManager::Kind::NetworkManager) {
            const RunResult result = nm::runThroughNetworkManager(command, manager);
            // A link NetworkManager has not activated has nothing applied to
            // show: the kernel's view, as on any other link.
            if (command.verb == Verb::ShowConfig && result.exitCode != 0)
                return execBeside(kHelperName, argv);
            return finish(result);
        }
        if (manager.kind == nm::LinkManager::Kind::Other && command.verb != Verb::ShowConfig)
            return finish(nm::refuseOtherManager(command, manager));
    }
    return execBeside(kHelperName, argv);
}
