#pragma once

#include <string>

namespace tarnwick::netsh
{

// How this run of netsh started.
struct StartRights {
    bool raised = false; // set-user-ID (or file capabilities): started by someone less privileged
    std::string refusal; // when not empty: the caller may not use netsh; nothing was done
};

// First thing in main. A plain run (root, or a user without rights) is left
// as it is. A raised run is for the members of the group that owns the
// program file (a Debian system gives it root:netdev, mode 4754); for them
// everything the caller handed over is dropped before any command is read:
// descriptors beyond 0-2, environment, working folder, umask, signal
// dispositions and mask, resource limits; the run becomes wholly root, so the
// caller can no longer signal or trace it, and keeps only the capabilities
// its own code uses (effective) and those its DHCP clients use (permitted
// only), for itself and all it starts.
StartRights settleStartRights();

} // namespace tarnwick::netsh
