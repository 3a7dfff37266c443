#pragma once

#include "base/FileLock.h"
#include "base/Ipv4.h"
#include "linkstate/LinkState.h"
#include "netlink/linux/Addresses.h"
#include "netlink/linux/Routes.h"
#include "netlink/linux/Socket.h"

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// The steps that commands and lease events share: the namespace's lock, the
// link's record, and making its addresses, default routes and DNS servers
// what they should be.
namespace tarnwick::netsh
{

// Serialises the netsh runs (and DHCP client hooks) of one network namespace.
// Waits a few seconds at most (TARNWICK_LOCK_WAIT_MS, unless set-user-ID):
// a holder that stopped must not hang everyone else's switches. Throws
// StateBusy, naming the holder, when the lock stayed taken.
FileLock lockState(const std::filesystem::path& dir);

struct StateBusy : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The link's record, with its interface index filled in (a fresh record when
// there is none).
LinkState stateOf(const std::string& ifname, int ifindex);

// The servers in force: static ones, else those of the lease.
std::vector<std::string> effectiveDns(const LinkState& state);

// Writes the record when it changed and hands the link's servers to the resolver.
void saveAndApplyDns(const std::string& ifname, const LinkState& state);

// The link's IPv4 addresses become exactly `wanted` (none when empty), with
// its lifetime: permanent unless it is dynamic (then `secondsLeft`). The
// wanted address is put in place before the others go.
void replaceAddresses(netlink::Socket& nl, int ifindex, const std::optional<netlink::Address>& wanted);

// The link's own default routes become the one via `gateway` (none when
// empty), added before the others go. Multipath routes are shared with other
// links and stay.
void replaceDefaultRoutes(
    netlink::Socket& nl, int ifindex, std::optional<Ipv4> gateway, int metric, int protocol);

// Removes the link's single-path default routes of every protocol but `keep`.
void removeOtherDefaultRoutes(netlink::Socket& nl, int ifindex, int keep);

// What a lease brought and leaves with it: the link's dynamic addresses and
// the default routes a DHCP client added.
void removeLeaseLeftovers(netlink::Socket& nl, int ifindex);

// All that a command may change of one link, read before it changes anything:
// a command that fails half-way puts it back, so it leaves the link as it was.
struct LinkSnapshot {
    std::vector<netlink::Address> addresses;
    std::vector<netlink::DefaultRoute> routes;
    std::optional<LinkState> record;
};
LinkSnapshot takeSnapshot(netlink::Socket& nl, const std::string& ifname, int ifindex);
// Puts addresses, default routes, record and DNS servers back; never throws
// (each part is tried whatever the one before did).
void restoreSnapshot(netlink::Socket& nl, const std::string& ifname, int ifindex, const LinkSnapshot& before);

} // namespace tarnwick::netsh
