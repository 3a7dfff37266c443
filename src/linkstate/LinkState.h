#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick
{

// What the netsh program remembers about one interface between its runs: our
// counterpart of the TCP/IP values the registry holds on Windows, which the
// live status reader reads to tell static DNS servers from the ones a DHCP
// client brought, and DHCP from a static address.
struct LinkState {
    int ifindex = 0; // guards against a removed and re-created interface of the same name
    bool dhcp = false; // address from a DHCP client we started
    bool dnsAutomatic = true; // DNS servers from DHCP rather than staticDns
    std::vector<std::string> staticDns; // in order; what Windows calls NameServer
    std::vector<std::string> dhcpDns; // the servers of the last lease
    std::string leaseAddress; // address of the lease in place, empty when none
    std::string client; // program name of the DHCP client we started
    int clientPid = 0; // its process id, 0 when none runs

    bool operator==(const LinkState&) const = default;
};

// Folder holding the states of the current network namespace: under
// $TARNWICK_STATE_DIR (default /run/tarnwick), one subfolder per namespace so
// equal interface names in two namespaces never share a state.
std::filesystem::path namespaceStateDir();

// Makes `folder` (mode 0755 whatever the umask) below the state root and
// checks it and every folder from the root down to it: each must be a real
// folder (no symbolic link) owned by the effective user and writable by no
// one else, or another user could swap the files a privileged netsh and its
// DHCP client use. Throws std::runtime_error naming the folder.
void makeStateFolder(const std::filesystem::path& folder);

// True when `ifname` may name a state file (a kernel interface name: 1 to 15
// bytes, no '/', no white space, not "." or "..").
bool isValidInterfaceName(const std::string& ifname);

// The state of `ifname` in this namespace; nullopt when there is none, when it
// cannot be read or when it belongs to an earlier interface of the same name.
std::optional<LinkState> readLinkState(const std::string& ifname);

// Replaces the state atomically (flushed); creates the folders. Throws std::system_error.
void writeLinkState(const std::string& ifname, const LinkState& state);

// Removes the state; none there is no error. Throws std::system_error.
void removeLinkState(const std::string& ifname);

// Text form of a state, and back (nullopt on a malformed text); pure.
std::string formatLinkState(const LinkState& state);
std::optional<LinkState> parseLinkState(const std::string& text);

} // namespace tarnwick
