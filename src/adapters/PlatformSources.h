#pragma once

#include "adapters/AdapterSource.h"
#include "adapters/LiveValuesSource.h"
#include "adapters/ProxySource.h"
#include "base/RegistryStore.h"

#include <memory>

namespace tarnwick
{

// How a live-values source may reach services that can hang (the system
// bus): a one-shot read waits for their answer, bounded; the window's
// once-a-second refresh never waits and uses their last answer.
enum class LiveReads { OneShot, Refresh };

// This platform's back ends (the build picks the implementation). The store
// holds the proxy values where the desktop has no system proxy; it must
// outlive the sources.
std::unique_ptr<AdapterSource> makeAdapterSource(RegistryStore& store);
std::unique_ptr<LiveValuesSource> makeLiveValuesSource(RegistryStore& store, LiveReads reads);
// Where the apply writes the user's proxy: the same place the live values
// read it from.
std::unique_ptr<ProxySource> makeProxySource(RegistryStore& store);

} // namespace tarnwick
