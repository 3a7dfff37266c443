#pragma once

#include <string>

namespace tarnwick
{

// One present, active adapter as discovery found it.
struct AdapterEntry {
    std::string instanceId; // stable id of the device (a GUID on Windows)
    std::string connectionName; // what the user and `netsh name=...` call it
    std::string description; // the driver's or device's description

    bool operator==(const AdapterEntry&) const = default;
};

} // namespace tarnwick
