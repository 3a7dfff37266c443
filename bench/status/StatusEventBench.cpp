// How soon the status reader has a change the kernel made: an address added
// to or removed from the lab's lan0 with `ip`, timed from the start of `ip` until
// the reader, woken by the kernel's notification, reads the new address. The
// floor beside it: `ip`'s own run. Goal: at most 100 ms. The once-a-second
// tick alone would take 500 ms on average, and up to a whole second.
// Run inside a lab: scripts/lab run -- <build>/bin/bench_status_events [rounds]

#include "adapters/AdapterTable.h"
#include "adapters/LinkWatcher.h"
#include "adapters/linux/LinuxAdapterSource.h"
#include "adapters/linux/LinuxLiveValuesSource.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

using namespace tarnwick;
using Clock = std::chrono::steady_clock;

namespace
{

bool run(std::vector<std::string> argv)
{
    std::vector<char*> args;
    for (auto& a : argv)
        args.push_back(a.data());
    args.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0)
        return false;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

} // namespace

int main(int argc, char** argv)
{
    const char* lan = std::getenv("TARNWICK_LAB_IF");
    if (!lan) {
        std::fprintf(stderr, "run inside a lab: scripts/lab run -- %s\n", argv[0]);
        return 2;
    }
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    const AdapterTable table = makeAdapterTable(linuxnet::LinuxAdapterSource().discover());
    const AdapterEntry* adapter = nullptr;
    for (int i = 0; i < table.count(); ++i)
        if (table.at(i).connectionName == lan)
            adapter = &table.at(i);
    if (!adapter) {
        std::fprintf(stderr, "bench_status_events: no %s\n", lan);
        return 1;
    }
    linuxnet::LinuxLiveValuesSource reader(nullptr);

    // The reader runs where the window's refresh would: right after the
    // notification, on the watcher's thread here.
    std::mutex mutex;
    std::condition_variable changed;
    std::string wanted; // the first address the reader must see ("" = none)
    Clock::time_point seenAt {};
    bool seen = false;
    auto watcher = makeLinkWatcher({ nullptr, [&](const std::string& name) {
                                        if (!name.empty() && name != lan)
                                            return;
                                        const InterfaceReading r = reader.readInterface(*adapter);
                                        const std::string first = r.ip.empty() ? "" : r.ip.front();
                                        std::lock_guard lock(mutex);
                                        if (!seen && first == wanted) {
                                            seen = true;
                                            seenAt = Clock::now();
                                            changed.notify_all();
                                        }
                                    } });
    if (!watcher) {
        std::fprintf(stderr, "bench_status_events: cannot follow the kernel's link events\n");
        return 1;
    }

    std::vector<double> toReader, ipAlone;
    for (int i = 0; i < rounds; ++i) {
        const bool add = i % 2 == 0;
        {
            std::lock_guard lock(mutex);
            wanted = add ? "192.0.2.70" : "";
            seen = false;
        }
        const auto start = Clock::now();
        if (!run({ "ip", "addr", add ? "add" : "del", "192.0.2.70/24", "dev", lan })) {
            std::fprintf(stderr, "bench_status_events: ip failed\n");
            return 1;
        }
        const auto ipDone = Clock::now();
        std::unique_lock lock(mutex);
        if (!changed.wait_for(lock, std::chrono::seconds(5), [&] { return seen; })) {
            std::fprintf(stderr, "bench_status_events: the reader never saw round %d\n", i);
            return 1;
        }
        toReader.push_back(ms(seenAt - start));
        ipAlone.push_back(ms(ipDone - start));
    }
    std::printf(
        "a kernel change until the status reader has it, medians of %d rounds (goal <= 100 ms)\n", rounds);
    std::printf("  from the start of ip to the reader: %8.3f ms\n", median(toReader));
    std::printf("  floor, ip's own run:                %8.3f ms\n", median(ipAlone));
    std::printf("  the 1 s tick alone:                  500 ms on average, by its period\n");
    return 0;
}
