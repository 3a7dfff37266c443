// The snapshot is renewed by the refresh while a worker reads it: a reader
// must always see the values of one reading, never a mix of two.
#include "FixtureNetwork.h"

#include "adapters/StatusUpdater.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace tarnwick;
using namespace tarnwick::test;

TEST(LiveSnapshotThreads, ReadersSeeWholeReadingsWhileTheRefreshRenewsThem)
{
    FixtureValuesSource values;
    AdapterTable table;
    table.append({ "id", "lan0", "veth" });
    LiveSnapshot snapshot;
    StatusUpdater updater(table, values, snapshot, [] { return LocalDateTime {}; });

    std::atomic<bool> done { false };
    std::atomic<int> mixed { 0 };
    std::thread worker([&] {
        while (!done.load()) {
            const LiveValues v = snapshot.get();
            // Each reading carries one number in every field.
            const std::string n = v.mode.empty() ? "" : v.mode.substr(v.mode.rfind('.') + 1);
            if (!v.mode.empty()
                && (v.config.ip[0] != v.mode || v.config.mask[0] != "255.0.0." + n
                    || v.config.gateway[0] != "10.0.1." + n || v.config.dns[0] != "10.0.2." + n
                    || v.gatewayInForce != v.config.gateway[0]))
                ++mixed;
        }
    });
    for (int i = 0; i < 20000; ++i) {
        const std::string n = std::to_string(i % 250);
        InterfaceReading& r = values.readings["lan0"];
        r.ip = { "10.0.0." + n };
        r.mask = { "255.0.0." + n };
        r.gateway = { "10.0.1." + n };
        r.nameServer = "10.0.2." + n;
        r.gatewayInForce = r.gateway[0];
        updater.updateStatusBar(0, i % 100 == 0);
    }
    done = true;
    worker.join();
    EXPECT_EQ(mixed.load(), 0);
}
