// The command runner against the bare system calls it is built on, in one
// run: a trivial program through RunWindowsExe vs posix_spawn + waitpid, and
// 64 MB of output collected by RunWindowsExe vs read through a plain pipe.
//   bench_runner [rounds]        bench_runner --emit N (the producer)
#include "apply/RunWindowsExe.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace
{

using Clock = std::chrono::steady_clock;
constexpr std::size_t kBigOutput = 64UL * 1024 * 1024;

int emit(std::size_t n)
{
    std::vector<char> block(65536, 'x');
    while (n > 0) {
        const std::size_t len = std::min(n, block.size());
        if (::write(1, block.data(), len) != static_cast<ssize_t>(len))
            return 1;
        n -= len;
    }
    return 0;
}

std::string selfPath()
{
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf);
    return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : "bench_runner";
}

enum class Pipe { None, Drop, Keep };

// The lower bounds: spawn, read the pipe to its end (dropping the bytes, or
// keeping them in one string as a plain collector would), wait.
std::size_t bareRun(std::vector<std::string> args, Pipe pipe)
{
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int fds[2] = { -1, -1 };
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    if (pipe != Pipe::None) {
        if (::pipe2(fds, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
    }
    pid_t pid = 0;
    if (::posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("spawn");
    posix_spawn_file_actions_destroy(&fa);
    std::size_t total = 0;
    if (pipe != Pipe::None) {
        ::close(fds[1]);
        std::vector<char> buf(tarnwick::kReadSize);
        std::string kept;
        ssize_t n;
        while ((n = ::read(fds[0], buf.data(), buf.size())) > 0) {
            total += static_cast<std::size_t>(n);
            if (pipe == Pipe::Keep)
                kept.append(buf.data(), static_cast<std::size_t>(n));
        }
        ::close(fds[0]);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return total;
}

std::size_t runnerRun(const std::string& line)
{
    std::size_t total = 0;
    for (const auto& chunk : tarnwick::RunWindowsExe(line))
        total += chunk.size();
    return total;
}

template <typename F> double timedMs(F f)
{
    const auto start = Clock::now();
    f();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double lowest(const std::vector<double>& v)
{
    return *std::min_element(v.begin(), v.end());
}

void expectAll(std::size_t got)
{
    if (got != kBigOutput)
        throw std::runtime_error("output lost: " + std::to_string(got) + " bytes");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--emit")
        return emit(std::strtoul(argv[2], nullptr, 10));
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const std::string self = selfPath();
    const std::string big = std::to_string(kBigOutput);

    // Interleaved, so every side sees the same machine load; the machine is
    // shared, so spawns take medians and the few big runs their best.
    std::vector<double> bareSpawn, ourSpawn, dropBig, keepBig, ourBig;
    for (int r = 0; r < rounds; ++r) {
        for (int i = 0; i < 40; ++i) {
            bareSpawn.push_back(timedMs([&] { bareRun({ "/bin/true" }, Pipe::None); }));
            // By its full path: the runner never looks on PATH.
            ourSpawn.push_back(timedMs([&] { runnerRun("/bin/true"); }));
        }
        dropBig.push_back(timedMs([&] { expectAll(bareRun({ self, "--emit", big }, Pipe::Drop)); }));
        keepBig.push_back(timedMs([&] { expectAll(bareRun({ self, "--emit", big }, Pipe::Keep)); }));
        ourBig.push_back(timedMs([&] { expectAll(runnerRun("\"" + self + "\" --emit " + big)); }));
    }
    const double s0 = median(bareSpawn), s1 = median(ourSpawn);
    const double d = lowest(dropBig), k = lowest(keepBig), o = lowest(ourBig);
    std::printf(
        "trivial program: RunWindowsExe %.3f ms, posix_spawn+waitpid %.3f ms: ratio %.2f (goal <= 1.3)\n", s1,
        s0, s1 / s0);
    std::printf("64 MB of output: RunWindowsExe %.1f ms, plain pipe keeping the bytes %.1f ms: ratio %.2f "
                "(goal <= 1.3)\n",
        o, k, o / k);
    std::printf("                 (plain pipe dropping the bytes %.1f ms: ratio %.2f)\n", d, o / d);
    return 0;
}
