#pragma once

#include "base/RegistryStore.h"

#include <memory>

namespace tarnwick
{

// This user's registry store; the build picks its back end (on Linux the
// REGEDIT4 files of the registry folder, see StorePaths). A read-only store
// refuses writes and never creates anything.
enum class StoreAccess { ReadWrite, ReadOnly };
std::unique_ptr<RegistryStore> openUserRegistry(StoreAccess access = StoreAccess::ReadWrite);

} // namespace tarnwick
