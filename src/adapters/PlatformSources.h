#pragma once

#include "adapters/AdapterSource.h"
#include "adapters/LiveValuesSource.h"
#include "app/RegistryStore.h"

#include <memory>

namespace tarnwick
{

// This platform's back ends (the build picks the implementation). The store
// holds the proxy values where the desktop has no system proxy; it must
// outlive the sources.
std::unique_ptr<AdapterSource> makeAdapterSource(RegistryStore& store);
std::unique_ptr<LiveValuesSource> makeLiveValuesSource(RegistryStore& store);

// Starts taking, beside the caller, the readings the first full status read
// of makeLiveValuesSource's source needs from libraries the program otherwise
// does without. For the window program's start, before its first thread.
void prefetchStartupReadings();

} // namespace tarnwick
