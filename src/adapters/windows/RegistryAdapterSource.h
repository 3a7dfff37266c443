#pragma once

#include "adapters/AdapterSource.h"
#include "base/RegistryStore.h"

namespace tarnwick::windows
{

// Windows discovery: walks the network adapter class subkeys "0000" to "0049"
// and keeps the adapters whose LAN interface "Control" key exists (present
// and enabled). Unreadable keys give empty texts, never an error.
class RegistryAdapterSource : public AdapterSource
{
public:
    explicit RegistryAdapterSource(RegistryStore& store);
    std::vector<AdapterEntry> discover() override;

private:
    RegistryStore& m_store;
};

} // namespace tarnwick::windows
