// Switches of a link NetworkManager manages through netsh, the command lines a
// switch runs, against the same change made by `nmcli device modify` (which
// changes only what is applied, not the profile): netsh does more, so this is
// the ratio to keep small. Static → static (address, gateway with its metric,
// one DNS server), and static → DHCP until the link holds a lease.
// Run inside a NetworkManager lab: scripts/lab run --nm -- <build>/bin/bench_netsh_nm [rounds]
#include "netlink/linux/Addresses.h"
#include "netlink/linux/Socket.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <net/if.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace
{

using Clock = std::chrono::steady_clock;

int run(const std::vector<std::string>& argv)
{
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, args[0], &fa, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

double timed(const std::vector<std::vector<std::string>>& commands)
{
    const auto start = Clock::now();
    for (const auto& c : commands) {
        if (run(c) != 0) {
            std::fprintf(stderr, "failed: %s ... %s\n", c[0].c_str(), c.back().c_str());
            std::exit(1);
        }
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// nmcli returns once NetworkManager has taken the change; netsh returns once
// the lease is held. Both are timed to the lease.
void waitForLease(const char* lan)
{
    tarnwick::netlink::Socket nl;
    const int index = static_cast<int>(::if_nametoindex(lan));
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    for (;;) {
        for (const auto& a : tarnwick::netlink::dumpAddresses(nl, index))
            if (a.dynamic)
                return;
        if (Clock::now() > deadline) {
            std::fprintf(stderr, "no lease on %s within 20 s\n", lan);
            std::exit(1);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    const char* lan = std::getenv("TARNWICK_LAB_IF");
    if (!lan || !std::getenv("TARNWICK_LAB_NM")) {
        std::fprintf(stderr, "run inside a NetworkManager lab: scripts/lab run --nm -- %s\n", argv[0]);
        return 2;
    }
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    const std::string self = argv[0];
    const std::string netsh = self.substr(0, self.rfind('/') + 1) + "netsh";
    const std::string name = std::string("name=") + lan;
    std::vector<double> netshAddress, nmcliAddress, netshBoth, nmcliBoth, netshDhcp, nmcliDhcp;
    const std::vector<std::string> toDhcp { "nmcli", "device", "modify", lan, "ipv4.method", "auto",
        "ipv4.addresses", "", "ipv4.gateway", "", "ipv4.route-metric", "-1", "ipv4.dns", "",
        "ipv4.ignore-auto-dns", "no" };
    for (int i = 0; i < rounds; ++i) {
        // Alternate addresses so every round really changes the link.
        const std::string a = i % 2 ? "192.0.2.10" : "192.0.2.20";
        const std::string b = i % 2 ? "192.0.2.11" : "192.0.2.21";
        const std::vector<std::string> setAddress { netsh, "interface", "ip", "set", "address", name,
            "source=static", "addr=" + a, "mask=255.255.255.0", "gateway=192.0.2.1", "gwmetric=1" };
        const std::vector<std::string> setDns { netsh, "interface", "ip", "set", "dns", name, "source=static",
            "addr=192.0.2.5" + std::to_string(i % 2 + 3) };
        std::vector<std::string> modify { "nmcli", "device", "modify", lan, "ipv4.method", "manual",
            "ipv4.addresses", b + "/24", "ipv4.gateway", "192.0.2.1", "ipv4.route-metric", "1" };
        netshAddress.push_back(timed({ setAddress }));
        nmcliAddress.push_back(timed({ modify }));
        netshBoth.push_back(timed({ setAddress, setDns }));
        modify.insert(modify.end(), { "ipv4.dns", "192.0.2.53", "ipv4.ignore-auto-dns", "yes" });
        nmcliBoth.push_back(timed({ modify }));

        // From static (the last change above) to DHCP.
        netshDhcp.push_back(timed({ { netsh, "interface", "ip", "set", "address", name, "source=dhcp" },
            { netsh, "interface", "ip", "set", "dns", name, "source=dhcp" } }));
        timed({ modify });
        const auto start = Clock::now();
        timed({ toDhcp });
        waitForLease(lan);
        nmcliDhcp.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::printf("switches of a NetworkManager link, medians of %d rounds (goal: ratio <= 1.5)\n", rounds);
    const auto line
        = [](const char* what, const std::vector<double>& ours, const std::vector<double>& theirs) {
              std::printf("  %-34s netsh %8.3f ms  nmcli device modify %8.3f ms  ratio %.2f\n", what,
                  median(ours), median(theirs), median(ours) / median(theirs));
          };
    line("static: address and gateway", netshAddress, nmcliAddress);
    line("static, and DNS (netsh: 2 commands)", netshBoth, nmcliBoth);
    line("static -> DHCP, to the lease", netshDhcp, nmcliDhcp);
    return 0;
}
