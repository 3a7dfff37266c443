#pragma once

#include <filesystem>
#include <string>

namespace tarnwick::linuxnet
{

// Where the device facts are read; tests point these at fixture trees.
struct DeviceRoots {
    std::filesystem::path sys = "/sys";
    std::filesystem::path udevData = "/run/udev/data";
};

// What the adapter list says about an interface: the device's model from
// the udev database (or the USB "product" file) when known, else the name of
// its driver, else the link kind ("veth"); empty when none is known.
// The udev record is looked up by the parent device (e.g. "+pci:0000:00:03.0"),
// never by ifindex: ifindexes repeat across network namespaces.
std::string describeDevice(const DeviceRoots& roots, const std::string& ifname, const std::string& kind);

} // namespace tarnwick::linuxnet
