// netsh: the program the runner starts for each `netsh interface ip ...`
// command line. It runs with the caller's own rights: a link NetworkManager
// manages is changed through NetworkManager (whose rules decide), any other
// link by the privileged helper beside this program.
#include "linkstate/LinkState.h"
#include "netsh/CommandParser.h"
#include "netsh/nm/NmLink.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <grp.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{

constexpr const char* kHelperName = "netsh-helper";

int finish(const tarnwick::netsh::RunResult& result)
{
    std::fputs(result.out.c_str(), stdout);
    std::fflush(stdout);
    std::fputs(result.err.c_str(), stderr);
    return result.exitCode;
}

// The helper installed beside this program, never one found on PATH.
std::filesystem::path helperPath()
{
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return {};
    self[n] = '\0';
    return std::filesystem::path(self).parent_path() / kHelperName;
}

int runHelper(char** argv)
{
    const std::filesystem::path helper = helperPath();
    std::vector<char*> args { const_cast<char*>(helper.c_str()) };
    for (char** a = argv + 1; *a; ++a)
        args.push_back(*a);
    args.push_back(nullptr);
    ::execv(helper.c_str(), args.data());
    const int error = errno;
    std::string message = "无法启动 " + helper.string() + "：" + std::strerror(error) + "，未作任何更改。";
    struct stat st {
    };
    if (error == EACCES && ::stat(helper.c_str(), &st) == 0) {
        // The helper is kept for the members of its group.
        const group* g = ::getgrgid(st.st_gid);
        message = "只有 " + (g ? std::string(g->gr_name) : std::to_string(st.st_gid))
            + " 组的成员才能用 netsh 更改网络设置，未作任何更改。";
    }
    return finish(tarnwick::netsh::RunResult { 1, {}, message + "\n" });
}

} // namespace

int main(int argc, char** argv)
{
    using namespace tarnwick;
    using namespace tarnwick::netsh;
    if (argc < 1)
        return 1;
    const std::vector<std::string> args(argv + 1, argv + argc);
    const ParseResult parsed = parseCommand(args);
    if (const auto* error = std::get_if<ParseError>(&parsed)) {
        std::string err = error->message + "\n";
        if (error->showUsage)
            err += usageText();
        return finish(RunResult { 1, {}, err });
    }
    const Command& command = std::get<Command>(parsed);
    if (!command.name.empty() && isValidInterfaceName(command.name)) {
        const nm::LinkManager manager = nm::findLinkManager(command.name);
        if (manager.kind == nm::LinkManager::Kind::NetworkManager)
            return finish(nm::runThroughNetworkManager(command, manager));
        if (manager.kind == nm::LinkManager::Kind::Other && command.verb != Verb::ShowConfig)
            return finish(nm::refuseOtherManager(command, manager));
    }
    return runHelper(argv);
}
