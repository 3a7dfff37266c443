// A full static switch (C2, C4 twice, C5, C6, C8, C9 three times) through the
// netsh program, against the same changes made by one `ip -batch` run plus one
// resolver write: the floor for doing it with separate programs at all.
// Run inside a lab: scripts/lab run -- <build>/bin/bench_netsh [rounds]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace
{

using Clock = std::chrono::steady_clock;

// CPU time (user + system, ms) of the children run so far: unlike wall time,
// it hardly moves with the load of a shared machine.
double g_childCpu = 0;

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
    rusage usage {};
    wait4(pid, &status, 0, &usage);
    g_childCpu += usage.ru_utime.tv_sec * 1e3 + usage.ru_utime.tv_usec / 1e3 + usage.ru_stime.tv_sec * 1e3
        + usage.ru_stime.tv_usec / 1e3;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Config {
    std::string ip1, ip2, ip3, gw1, gw2;
    std::vector<std::string> dns;
};

const Config kConfigs[2] = {
    { "192.0.2.10", "10.1.0.5", "172.16.5.5", "192.0.2.1", "10.1.0.1",
        { "192.0.2.53", "192.0.2.54", "10.1.0.53", "10.1.0.54" } },
    { "192.0.2.20", "10.2.0.5", "172.16.6.5", "192.0.2.1", "10.2.0.1",
        { "192.0.2.54", "192.0.2.53", "10.2.0.53", "10.2.0.54" } },
};

double throughNetsh(const std::string& netsh, const std::string& lan, const Config& c)
{
    const std::string name = "name=" + lan;
    const std::vector<std::vector<std::string>> commands = {
        { "set", "address", name, "source=static", "addr=" + c.ip1, "mask=255.255.255.0" },
        { "add", "address", name, "addr=" + c.ip2, "mask=255.255.0.0" },
        { "add", "address", name, "addr=" + c.ip3, "mask=255.255.255.0" },
        { "set", "address", name, "gateway=" + c.gw1, "gwmetric=1" },
        { "add", "address", name, "gateway=" + c.gw2, "gwmetric=2" },
        { "set", "dns", name, "source=static", "addr=" + c.dns[0] },
        { "add", "dns", name, "addr=" + c.dns[1], "index=2" },
        { "add", "dns", name, "addr=" + c.dns[2], "index=3" },
        { "add", "dns", name, "addr=" + c.dns[3], "index=4" },
    };
    const auto start = Clock::now();
    for (const auto& cmd : commands) {
        std::vector<std::string> argv { netsh, "interface", "ip" };
        argv.insert(argv.end(), cmd.begin(), cmd.end());
        if (run(argv) != 0) {
            std::fprintf(stderr, "netsh failed: %s\n", cmd[0].c_str());
            std::exit(1);
        }
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double throughIpBatch(const std::string& lan, const std::string& batchFile, const Config& c)
{
    const auto start = Clock::now();
    {
        std::ofstream batch(batchFile, std::ios::trunc);
        batch << "addr flush dev " << lan << "\n"
              << "addr add " << c.ip1 << "/24 dev " << lan << "\n"
              << "addr add " << c.ip2 << "/16 dev " << lan << "\n"
              << "addr add " << c.ip3 << "/24 dev " << lan << "\n"
              << "route replace default via " << c.gw1 << " dev " << lan << " metric 1\n"
              << "route replace default via " << c.gw2 << " dev " << lan << " metric 2\n";
    }
    if (run({ "ip", "-4", "-force", "-batch", batchFile }) != 0) {
        std::fprintf(stderr, "ip -batch failed\n");
        std::exit(1);
    }
    // The resolver file is a bind mount in the lab: written in place.
    std::ofstream resolv("/etc/resolv.conf", std::ios::trunc);
    for (const auto& d : c.dns)
        resolv << "nameserver " << d << "\n";
    resolv.flush();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double timeOf(const std::vector<std::string>& argv)
{
    const auto start = Clock::now();
    run(argv);
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double best(const std::vector<double>& v)
{
    return *std::min_element(v.begin(), v.end());
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
    const char* labDir = std::getenv("TARNWICK_LAB_DIR");
    if (!lan || !labDir) {
        std::fprintf(stderr, "run inside a lab: scripts/lab run -- %s\n", argv[0]);
        return 2;
    }
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    const std::string self = argv[0];
    const std::string binDir = self.substr(0, self.rfind('/') + 1);
    const std::string netsh = binDir + "netsh";
    const std::string noop = binDir + "bench_static_noop";
    const std::string batchFile = std::string(labDir) + "/bench.batch";

    // The state folder is under /run, a tmpfs, on a real system; the lab puts
    // it on disk. Measure both: tmpfs as in use, the lab's folder for comparison.
    const std::string labState = std::getenv("TARNWICK_STATE_DIR") ? std::getenv("TARNWICK_STATE_DIR") : "";
    char shmTemplate[] = "/dev/shm/tw-bench-netsh-XXXXXX";
    const char* shmState = ::mkdtemp(shmTemplate);

    std::vector<double> onTmpfs, onLabDisk, floor, trueStart, netshStart, nineTrue, nineNoop;
    double cpuNetsh = 0, cpuFloor = 0, cpuNineTrue = 0;
    int netshRounds = 0, floorRounds = 0;
    const auto cpuOf = [](auto&& work) {
        const double before = g_childCpu;
        work();
        return g_childCpu - before;
    };
    for (int i = 0; i < rounds; ++i) {
        // Alternate configurations so every round really changes the link.
        if (shmState) {
            ::setenv("TARNWICK_STATE_DIR", shmState, 1);
            cpuNetsh += cpuOf([&] { onTmpfs.push_back(throughNetsh(netsh, lan, kConfigs[i % 2])); });
            cpuFloor
                += cpuOf([&] { floor.push_back(throughIpBatch(lan, batchFile, kConfigs[(i + 1) % 2])); });
            ++netshRounds;
            ++floorRounds;
        }
        trueStart.push_back(timeOf({ "/bin/true" }));
        // Any way of running the nine commands as programs pays nine starts.
        const auto start = Clock::now();
        cpuNineTrue += cpuOf([&] {
            for (int k = 0; k < 9; ++k)
                run({ "/bin/true" });
        });
        nineTrue.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        const auto noopStart = Clock::now();
        for (int k = 0; k < 9; ++k)
            run({ noop });
        nineNoop.push_back(std::chrono::duration<double, std::milli>(Clock::now() - noopStart).count());
        netshStart.push_back(timeOf({ netsh }));
        ::setenv("TARNWICK_STATE_DIR", labState.c_str(), 1);
        onLabDisk.push_back(throughNetsh(netsh, lan, kConfigs[i % 2]));
        floor.push_back(throughIpBatch(lan, batchFile, kConfigs[(i + 1) % 2]));
    }
    if (shmState)
        run({ "rm", "-rf", shmState });
    // Medians, and the best round: on a loaded machine the best round is the
    // closer estimate of what the work itself costs.
    const auto line = [&](const char* what, const std::vector<double>& v) {
        const double m = median(v), b = best(v);
        std::printf("  %-40s median %8.3f ms  best %8.3f ms  ratio %.2f / %.2f\n", what, m, b,
            m / median(floor), b / best(floor));
    };
    std::printf(
        "full static switch, %d rounds (ratios against the floor, median / best; goal <= 3)\n", rounds);
    line("ip -batch + resolver write (floor)", floor);
    if (!onTmpfs.empty())
        line("netsh, 9 runs, state on tmpfs (/run)", onTmpfs);
    line("netsh, 9 runs, the lab's state folder", onLabDisk);
    line("nine starts of /bin/true (no work)", nineTrue);
    line("nine starts of a program linked as netsh", nineNoop);
    line("one start of /bin/true", trueStart);
    line("one start of netsh (usage only)", netshStart);
    if (netshRounds > 0) {
        // The resolver write of the floor runs in this process and is not counted; it is tiny.
        const double n = cpuNetsh / netshRounds, f = cpuFloor / floorRounds, t = cpuNineTrue / rounds;
        std::printf(
            "CPU time of the programs, mean per round: netsh (tmpfs state) %.3f ms, ip -batch %.3f ms, "
            "nine /bin/true %.3f ms; ratio %.2f\n",
            n, f, t, n / f);
    }
    return 0;
}
