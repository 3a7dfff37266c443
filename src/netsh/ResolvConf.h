#pragma once

#include <string>
#include <vector>

namespace tarnwick::netsh
{

// The resolver file with the block of `ifname` replaced by `servers` (the block
// removed when the list is empty). Our blocks sit at the top, between marker
// lines, so the link's servers come first. While a block of ours names
// servers, every other `nameserver` line is set aside as a marked comment, so
// the previous network's servers leave glibc's list; they come back when the
// last block goes. Every other line is kept as it is.
std::string updateResolvConf(
    const std::string& current, const std::string& ifname, const std::vector<std::string>& servers);

// The servers of the block of `ifname`, in order.
std::vector<std::string> resolvConfServers(const std::string& current, const std::string& ifname);

} // namespace tarnwick::netsh
