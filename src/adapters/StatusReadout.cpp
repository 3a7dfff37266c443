#include "adapters/StatusReadout.h"

#include "adapters/PlatformSources.h"
#include "adapters/StatusUpdater.h"
#include "base/Settings.h"
#include "base/UserRegistry.h"

#include <exception>

namespace tarnwick
{

AdapterTable discoverAdapters()
{
    const auto store = openUserRegistry(StoreAccess::ReadOnly);
    return makeAdapterTable(makeAdapterSource(*store)->discover());
}

StatusReadout readStatusOnce(std::optional<int> adapter)
{
    // Read-only: a status read never creates the store or the settings key.
    const auto store = openUserRegistry(StoreAccess::ReadOnly);
    std::string defaultNetCard;
    if (!adapter) {
        try {
            defaultNetCard = settings::peekValue(*store, settings::kDefaultNetCard);
        } catch (const std::exception&) {
            // Unreadable settings select line 0, as a missing value does.
        }
    }
    const auto adapters = makeAdapterSource(*store);
    const auto values = makeLiveValuesSource(*store, LiveReads::OneShot);
    return readStatusOnce(*adapters, *values, defaultNetCard, adapter);
}

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
