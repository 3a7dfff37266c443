// One timer tick of the status refresh against the bare netlink dumps it
// needs (addresses of the link, IPv4 routes), measured alternately in the
// same run; prints both medians and their ratio (goal: at most 2).
//
// In a lab (scripts/lab run) it first gives lan0 a static address with two
// secondaries and two gateways; elsewhere it only reads the first adapter.

#include "adapters/AdapterTable.h"
#include "adapters/LiveSnapshot.h"
#include "adapters/StatusUpdater.h"
#include "adapters/linux/LinuxAdapterSource.h"
#include "adapters/linux/LinuxLiveValuesSource.h"
#include "netlink/linux/Addresses.h"
#include "netlink/linux/Routes.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
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

} // namespace

int main(int argc, char** argv)
{
    const int ticks = argc > 1 ? std::atoi(argv[1]) : 3000;
    const bool inLab = std::getenv("TARNWICK_LAB") != nullptr;
    if (inLab) {
        run({ "ip", "addr", "add", "192.0.2.10/24", "dev", "lan0" });
        run({ "ip", "addr", "add", "192.0.2.11/24", "dev", "lan0" });
        run({ "ip", "addr", "add", "192.0.2.12/24", "dev", "lan0" });
        run({ "ip", "route", "add", "default", "via", "192.0.2.1", "dev", "lan0", "metric", "1" });
        run({ "ip", "route", "add", "default", "via", "192.0.2.2", "dev", "lan0", "metric", "2" });
    }
    const AdapterTable table = makeAdapterTable(linuxnet::LinuxAdapterSource().discover());
    if (table.count() == 0) {
        std::fprintf(stderr, "bench_status: no adapter to read\n");
        return 1;
    }
    const AdapterEntry& adapter = table.at(0);
    const int ifindex = static_cast<int>(::if_nametoindex(adapter.connectionName.c_str()));

    linuxnet::LinuxLiveValuesSource source(nullptr);
    LiveSnapshot snapshot;
    StatusUpdater updater(table, source, snapshot);
    updater.updateStatusBar(0, true);

    netlink::Socket bare;
    // The same requests the tick sends, replies received and dropped.
    ifaddrmsg addrHeader {};
    rtmsg routeHeader {};
    const netlink::Request addresses = netlink::addressDumpRequest(addrHeader, ifindex);
    const netlink::Request routes = netlink::mainRoutesRequest(routeHeader, ifindex);

    std::vector<double> tickNs;
    std::vector<double> bareNs;
    for (int i = 0; i < ticks; ++i) {
        auto t0 = Clock::now();
        updater.updateStatusBar(0, false);
        auto t1 = Clock::now();
        bare.dump(addresses, nullptr);
        bare.dump(routes, nullptr);
        auto t2 = Clock::now();
        tickNs.push_back(std::chrono::duration<double, std::nano>(t1 - t0).count());
        bareNs.push_back(std::chrono::duration<double, std::nano>(t2 - t1).count());
    }
    const double tick = median(tickNs);
    const double floor = median(bareNs);
    const LiveValues v = snapshot.get();
    std::printf("adapter %s (%s): ip %s, gateway %s\n", adapter.connectionName.c_str(),
        inLab ? "lab" : "host", v.config.ip[0].c_str(), v.config.gateway[0].c_str());
    std::printf("ticks: %d\n", ticks);
    std::printf("status tick (median):        %8.1f us\n", tick / 1000.0);
    std::printf("bare netlink dumps (median): %8.1f us\n", floor / 1000.0);
    std::printf("ratio: %.2f (goal <= 2)\n", tick / floor);
    return 0;
}
