#include "adapters/StatusService.h"

#include "adapters/StatusUpdater.h"

namespace tarnwick
{

StatusReadout readStatusOnce(AdapterSource& adapters, LiveValuesSource& values,
    const std::string& defaultNetCard, std::optional<int> adapter, const LocalClock& clock)
{
    StatusReadout out;
    out.table = makeAdapterTable(adapters.discover());
    out.selected = adapter ? *adapter : selectAdapter(defaultNetCard, out.table.count());
    LiveSnapshot snapshot;
    StatusUpdater updater(out.table, values, snapshot, clock);
    out.view = updater.updateStatusBar(out.selected, true);
    out.values = snapshot.get();
    return out;
}

} // namespace tarnwick
