#pragma once

#include "netsh/Command.h"
#include "netsh/RunResult.h"

#include <memory>
#include <string>

namespace tarnwick::netsh::nm
{

class SystemBus;

// Who manages a link, as the system bus tells. Without a system bus socket
// nothing is asked (no D-Bus time-out on a machine without one).
struct LinkManager {
    enum class Kind { None, NetworkManager, Other };
    Kind kind = Kind::None;
    std::string devicePath; // NetworkManager's device object
    std::string activeConnection; // its active connection, "/" for none
    std::string otherName; // the other manager's name, for the refusal
    std::shared_ptr<SystemBus> bus;
};

LinkManager findLinkManager(const std::string& ifname);

// Carries out a command on a link NetworkManager manages, through its D-Bus
// API with the caller's own rights: the active profile is changed and then
// applied (reapplied where NetworkManager can, else activated again). A change
// NetworkManager refuses leaves profile and link as they were.
RunResult runThroughNetworkManager(const Command& command, const LinkManager& manager);

// The refusal for a link another network manager manages.
RunResult refuseOtherManager(const Command& command, const LinkManager& manager);

} // namespace tarnwick::netsh::nm
