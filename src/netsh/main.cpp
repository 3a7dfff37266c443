// netsh: carries out the `netsh interface ip ...` command lines of an apply on
// a Linux interface. Started under the name of the DHCP client script link, it
// handles the client's lease events instead.
#include "netsh/CommandParser.h"
#include "netsh/RunResult.h"
#include "netsh/linux/Commands.h"
#include "netsh/linux/DhcpClient.h"
#include "netsh/linux/LeaseHook.h"
#include "netsh/linux/RaisedRights.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

extern char** environ;

int main(int argc, char** argv)
{
    using namespace tarnwick::netsh;
    const StartRights rights = settleStartRights();
    if (!rights.refusal.empty())
        return finish(RunResult { 1, {}, rights.refusal + "\n" });
    const std::vector<std::string> args(argv + 1, argv + argc);
    const std::filesystem::path self = argc > 0 ? argv[0] : "netsh";
    if (self.filename() == kHookName) {
        // Our clients run as root and start the hook with plain rights; a
        // raised start under that name is someone posing as a client.
        if (rights.raised)
            return finish(RunResult { 1, {}, "DHCP 事件只由 netsh 启动的 DHCP 客户端报告。\n" });
        std::map<std::string, std::string> env;
        for (char** e = environ; *e; ++e) {
            const char* eq = std::strchr(*e, '=');
            if (eq)
                env.emplace(std::string(*e, static_cast<std::size_t>(eq - *e)), std::string(eq + 1));
        }
        return finish(runLeaseHook(self, args, env));
    }
    const ParseResult parsed = parseCommand(args);
    if (const auto* error = std::get_if<ParseError>(&parsed))
        return finish(RunResult { 1, {}, refusalText(*error) });
    return finish(runCommand(std::get<Command>(parsed)));
}
