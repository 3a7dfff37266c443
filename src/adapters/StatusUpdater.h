#pragma once

#include "adapters/AdapterTable.h"
#include "adapters/LiveSnapshot.h"
#include "adapters/LiveValuesSource.h"
#include "adapters/LocalClock.h"
#include "adapters/ShownValues.h"
#include "adapters/StatusView.h"

namespace tarnwick
{

// A link's values in force as the fields would hold them: a DHCP link its
// lease's address alone, the gateways and DNS servers in force whatever their
// origin, and a lease's servers as automatic DNS.
TcpIpConfig configInForce(const InterfaceReading& reading);

// The status refresh of the main window: reads the selected adapter's values
// in force, keeps the shared snapshot current and says what the window shows.
// Runs on the GUI thread only; the snapshot is the one part other threads read.
class StatusUpdater
{
public:
    StatusUpdater(const AdapterTable& table, LiveValuesSource& source, LiveSnapshot& snapshot,
        LocalClock clock = systemLocalTime);

    // `full` is set by the window's show handler (everything is reloaded) and
    // clear on timer ticks (only the panels follow, a change reading
    // "Updating..." for one tick). `selected` is the adapter list's index.
    // `atOnce`: a change the kernel reported shows its value straight away.
    StatusView updateStatusBar(int selected, bool full, bool atOnce = false);

    const ShownValues& shown() const { return m_shown; }

    // The adapter list was rebuilt and the adapter shown moved from line
    // `from` to line `to`: the next refresh follows it without reloading the
    // fields the user may be typing in.
    void adapterMoved(int from, int to)
    {
        if (m_shown.adapterIndex == from)
            m_shown.adapterIndex = to;
    }

private:
    StatusView noAdapter() const;

    const AdapterTable& m_table;
    LiveValuesSource& m_source;
    LiveSnapshot& m_snapshot;
    LocalClock m_clock;
    ShownValues m_shown;
};

} // namespace tarnwick
