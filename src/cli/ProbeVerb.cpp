#include "adapters/StatusReadout.h"
#include "apply/IcmpNetwork.h"
#include "apply/NetworkProbe.h"
#include "apply/PlainDispatcher.h"
#include "cli/AdapterOption.h"
#include "cli/ProbeStates.h"
#include "cli/Verbs.h"

#include <exception>
#include <optional>
#include <ostream>

namespace tarnwick::cli
{

// `tarnwick probe [--adapter N]`: the network test of the main window, once:
// an echo to the selected adapter's gateway and first DNS server in force,
// printed as "gateway|dns TAB text TAB #rrggbb". An exchange that fails
// leaves its indicator at "测试", as in the window, and the error goes to
// stderr with status 1.
int runProbe(const std::vector<std::string>& args, Io io)
{
    std::optional<int> adapter;
    if (!parseAdapterOption(args, adapter)) {
        io.err << "usage: tarnwick probe [--adapter N]\n";
        return kUsageExit;
    }

    LiveSnapshot snapshot;
    try {
        const StatusReadout r = readStatusOnce(adapter);
        if (adapter && (*adapter < 0 || *adapter >= r.table.count())) {
            io.err << "tarnwick: probe: there is no adapter " << *adapter
                   << " (adapters found: " << r.table.count() << "; see tarnwick adapters)\n";
            return 1;
        }
        snapshot.set(r.values);
    } catch (const std::exception& e) {
        io.err << "tarnwick: probe: " << e.what() << '\n';
        return 1;
    }
    const auto network = makeSystemIcmpNetwork();
    SteadyTickClock clock;
    PlainDispatcher dispatcher; // this thread plays the GUI thread
    ProbeStates view;
    NetworkProbe probe(*network, clock, snapshot, dispatcher, view);
    std::string error;
    try {
        probe.TestNetStatus();
    } catch (const std::exception& e) {
        error = e.what();
    }
    view.print(io.out);
    if (!error.empty()) {
        io.err << "tarnwick: probe: " << error << '\n';
        return 1;
    }
    return 0;
}

} // namespace tarnwick::cli
