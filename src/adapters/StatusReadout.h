#pragma once

#include "adapters/AdapterSource.h"
#include "adapters/AdapterTable.h"
#include "adapters/LiveSnapshot.h"
#include "adapters/LiveValuesSource.h"
#include "adapters/LocalClock.h"
#include "adapters/StatusView.h"

#include <optional>
#include <string>

namespace tarnwick
{

// The outcome of one full status refresh outside the window (command line,
// probe): the adapters found, the index used, the values read and what the
// window would show.
struct StatusReadout {
    AdapterTable table;
    int selected = -1; // may lie outside the table: the no-adapter path ran
    LiveValues values;
    StatusView view;
};

// The adapters this platform's source finds, as the window's table holds them.
AdapterTable discoverAdapters();

// Discovers the adapters with this platform's sources, takes `adapter` or,
// when unset, the one the stored "DefaultNetCard" selects, and runs one full
// refresh. Reads the registry store for the setting and the proxy fallback.
StatusReadout readStatusOnce(std::optional<int> adapter = std::nullopt);

// The same over given sources and a given "DefaultNetCard" text.
StatusReadout readStatusOnce(AdapterSource& adapters, LiveValuesSource& values,
    const std::string& defaultNetCard, std::optional<int> adapter, const LocalClock& clock = systemLocalTime);

} // namespace tarnwick
