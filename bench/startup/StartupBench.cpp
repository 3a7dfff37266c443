// Start-up of the window program against the minimal Qt Widgets program:
// time from exec to the window's first paint, and resident memory then,
// measured alternately in the same run. Prints medians and the ratio/excess.
//
//   tw_bench_startup [ROUNDS]     (default 15; offscreen platform unless
//                                  QT_QPA_PLATFORM is set)
#include "BenchPaths.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace
{

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Sample {
    double ms = 0;
    double cpuMs = 0; // on-CPU time of all its threads until shown
    double rssMb = 0;
    double anonMb = 0; // the private part: heap and other anonymous pages
};

long statusKb(pid_t pid, const std::string& wanted)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    while (status >> key) {
        if (key == wanted) {
            long kb = 0;
            status >> kb;
            return kb;
        }
        status.ignore(1 << 16, '\n');
    }
    return 0;
}

// Time on the CPU of every thread of the process, from schedstat (ns): the
// figure that holds up when other work competes for the machine.
double cpuMs(pid_t pid)
{
    double ns = 0;
    std::error_code ec;
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
        std::ifstream stat(task.path() / "schedstat");
        double onCpu = 0;
        if (stat >> onCpu)
            ns += onCpu;
    }
    return ns / 1e6;
}

// Starts the program with standard error on a pipe, waits for its "first
// paint" line, reads its memory, ends it.
Sample measure(const std::string& program, const std::vector<std::string>& extraEnv, const fs::path& workDir,
    const char* arg = nullptr)
{
    int out[2];
    if (pipe(out) != 0)
        std::exit(1);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 2);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());

    std::vector<std::string> envStore;
    for (char** e = environ; *e; ++e)
        envStore.emplace_back(*e);
    if (!std::getenv("QT_QPA_PLATFORM"))
        envStore.emplace_back("QT_QPA_PLATFORM=offscreen");
    envStore.insert(envStore.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char*> env;
    for (std::string& e : envStore)
        env.push_back(e.data());
    env.push_back(nullptr);
    std::string prog = program;
    std::string argument = arg ? arg : "";
    char* argv[] = { prog.data(), arg ? argument.data() : nullptr, nullptr };

    const auto t0 = Clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, env.data()) != 0) {
        std::fprintf(stderr, "cannot start %s\n", program.c_str());
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string seen;
    char buf[256];
    while (seen.find("first paint") == std::string::npos) {
        const ssize_t n = read(out[0], buf, sizeof buf);
        if (n <= 0) {
            std::fprintf(stderr, "%s ended before showing its window\n", program.c_str());
            std::exit(1);
        }
        seen.append(buf, static_cast<std::size_t>(n));
    }
    Sample s;
    s.ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    s.cpuMs = cpuMs(pid);
    s.rssMb = static_cast<double>(statusKb(pid, "VmRSS:")) / 1024.0;
    s.anonMb = static_cast<double>(statusKb(pid, "RssAnon:")) / 1024.0;
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    close(out[0]);
    return s;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;

    // The program's own settings in a folder of its own, on the sample
    // configuration file with a skin chosen, as a user's start would be.
    char tmpl[] = "/tmp/tw-bench-startup-XXXXXX";
    if (!mkdtemp(tmpl))
        return 1;
    const fs::path dir(tmpl);
    fs::create_directories(dir / "home");
    fs::copy_file(fs::path(kSourceDir) / "samples/config.xml", dir / "config.xml");
    std::ofstream(dir / "home/config.ini") << "[Setting]\r\nSskin=Valentine\r\n";
    const std::vector<std::string> appEnv
        = { "TARNWICK_HOME=" + (dir / "home").string(), "QT_LOGGING_RULES=tarnwick.startup.debug=true" };

    // One warm-up each, so both start from a warm file cache.
    measure(kMinimalProgram, {}, dir);
    measure(kTarnwickProgram, appEnv, dir);

    std::vector<double> minMs, minMb, appMs, appMb, minAnon, appAnon, textMs, textMb, minCpu, appCpu, textCpu;
    for (int i = 0; i < rounds; ++i) {
        const Sample m = measure(kMinimalProgram, {}, dir);
        const Sample a = measure(kTarnwickProgram, appEnv, dir);
        const Sample t = measure(kMinimalProgram, {}, dir, "--text");
        minCpu.push_back(m.cpuMs);
        appCpu.push_back(a.cpuMs);
        textCpu.push_back(t.cpuMs);
        textMs.push_back(t.ms);
        textMb.push_back(t.rssMb);
        minMs.push_back(m.ms);
        minMb.push_back(m.rssMb);
        appMs.push_back(a.ms);
        appMb.push_back(a.rssMb);
        minAnon.push_back(m.anonMb);
        appAnon.push_back(a.anonMb);
    }
    fs::remove_all(dir);

    const double tMin = median(minMs), tApp = median(appMs), mMin = median(minMb), mApp = median(appMb);
    std::printf("start-up to window shown, median of %d rounds (platform %s)\n", rounds,
        std::getenv("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "offscreen");
    std::printf(
        "  minimal Qt window  %8.1f ms  %7.1f MB resident (%.1f MB private)\n", tMin, mMin, median(minAnon));
    std::printf("  minimal + one Chinese label %6.1f ms  %7.1f MB resident (for reading the figures)\n",
        median(textMs), median(textMb));
    std::printf(
        "  tarnwick           %8.1f ms  %7.1f MB resident (%.1f MB private)\n", tApp, mApp, median(appAnon));
    std::printf("  against the empty window: time ratio %.2f   memory +%.1f MB\n", tApp / tMin, mApp - mMin);
    std::printf("  against minimal + label: time ratio %.2f (goal <= 2.00)   memory +%.1f MB (goal <= 15)\n",
        tApp / median(textMs), mApp - median(textMb));
    const double cMin = median(minCpu), cApp = median(appCpu);
    std::printf("CPU time until first painted, all threads (holds up on a loaded machine)\n");
    std::printf("  minimal %.1f ms   minimal + label %.1f ms   tarnwick %.1f ms   ratio to label %.2f\n",
        cMin, median(textCpu), cApp, cApp / median(textCpu));
    return 0;
}
