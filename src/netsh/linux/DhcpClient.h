#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick::netsh
{

// A DHCP client program of the system.
struct DhcpClientProgram {
    std::string name; // "dhcpcd", "dhclient" or "udhcpc": also the process name we look for
    std::vector<std::string> command; // path (and busybox applet) to start it with
};

// The first installed of dhcpcd, dhclient, udhcpc (busybox too).
// TARNWICK_DHCP_CLIENT may name one of them to be preferred.
std::optional<DhcpClientProgram> findDhcpClient();

// Name of the client script link in the namespace's state folder. The DHCP
// client runs it for every event; it points to the lease hook program beside
// this one, which finds the state folder from the link's path (no shell
// involved, and the client passes on none of our environment).
constexpr const char* kHookName = "tarnwick-dhcp-hook";
constexpr const char* kLeaseHookProgram = "tarnwick-lease-hook";

// Starts the client for `ifname`, detached from us, with its files (pid,
// lease, socket, configuration, log) in `stateDir` and our hook as its script.
// `announce` runs with the client's pid before the client itself starts, so
// that the pid is on record before the first event arrives. Returns the pid;
// throws std::system_error when the client cannot be started.
int startDhcpClient(const DhcpClientProgram& client, const std::string& ifname,
    const std::filesystem::path& stateDir, const std::function<void(int pid)>& announce);

// True when `pid` is a live process named `name` in our network namespace.
bool isDhcpClientProcess(int pid, const std::string& name);

// True when that client is stopped (held still by a netsh run).
bool isStoppedDhcpClient(int pid, const std::string& name);

// Stops a client we started and waits (3 s at most, then kills it) until it is
// gone. Any addresses it leaves behind are the caller's to remove.
void stopDhcpClient(int pid, const std::string& name);

// Ends a client (and its process group) at once, without letting it act:
// used on one paused while the link changed, so that nothing it would do as
// it stops (dhcpcd deconfigures) undoes the change.
void killDhcpClient(int pid, const std::string& name);

} // namespace tarnwick::netsh
