#pragma once

#include "adapters/AdapterSource.h"
#include "adapters/linux/DeviceDescription.h"

namespace tarnwick::linuxnet
{

// Present and active = administratively up and not loopback, in ifindex
// order. Connection name = interface name; instance id = the permanent
// hardware address when the driver tells it, else the current one (veth),
// else "ifindex:N" for links without a hardware address.
class LinuxAdapterSource : public AdapterSource
{
public:
    explicit LinuxAdapterSource(DeviceRoots roots = {});
    std::vector<AdapterEntry> discover() override;

private:
    DeviceRoots m_roots;
};

} // namespace tarnwick::linuxnet
