// tarnwick-lease-hook: the script the DHCP clients of netsh-helper run for
// each lease event. A program of its own, never set-user-ID: it acts only with
// the rights of the root client that starts it, so the privileged helper has
// no second way in.
#include "netsh/RunResult.h"
#include "netsh/linux/LeaseHook.h"

#include <cstring>
#include <map>
#include <string>
#include <sys/auxv.h>
#include <vector>

extern char** environ;

int main(int argc, char** argv)
{
    using namespace tarnwick::netsh;
    // Made set-user-ID or given file capabilities by mistake, it would act
    // for whoever runs it: such a start is refused before anything is read.
    if (::getauxval(AT_SECURE))
        return finish(RunResult { 1, {}, "DHCP 事件只由 netsh 启动的 DHCP 客户端报告。\n" });
    if (argc < 1)
        return 1;
    std::map<std::string, std::string> env;
    for (char** e = environ; *e; ++e) {
        if (const char* eq = std::strchr(*e, '='))
            env.emplace(std::string(*e, static_cast<std::size_t>(eq - *e)), std::string(eq + 1));
    }
    return finish(runLeaseHook(argv[0], std::vector<std::string>(argv + 1, argv + argc), env));
}
