#pragma once

#include "adapters/LiveValuesSource.h"
#include "adapters/ProxySource.h"
#include "adapters/linux/LinkStateCache.h"
#include "adapters/linux/ResolvedServers.h"
#include "adapters/linux/ResolverServers.h"
#include "netlink/linux/Socket.h"

#include <memory>
#include <optional>

namespace tarnwick::linuxnet
{

// The values in force on Linux. A tick costs one name lookup, one address
// dump and one route dump over sockets kept open, and a stat each of netsh's
// state folder and the resolver file; no child process.
//
// DHCP: an address with a finite lifetime (what dhclient and dhcpcd set), or
// the netsh state saying our netsh started a DHCP client for the link.
// NameServer: the static servers netsh recorded for a link it configured;
// for other links the resolver's servers while the address is static (the
// link's servers from systemd-resolved when the resolver file points at its
// stub, else the file's), empty while it comes from DHCP.
class LinuxLiveValuesSource : public LiveValuesSource
{
public:
    LinuxLiveValuesSource(std::unique_ptr<ProxySource> proxy,
        ResolvedServers::Mode resolvedMode = ResolvedServers::Mode::Wait,
        std::filesystem::path resolvConf = "/etc/resolv.conf",
        std::filesystem::path resolvedRuntimeDir = "/run/systemd/resolve");
    ~LinuxLiveValuesSource() override;

    InterfaceReading readInterface(const AdapterEntry& adapter) override;
    ProxyReading readProxy() override;

private:
    int ifindexOf(const std::string& ifname);

    std::unique_ptr<ProxySource> m_proxy;
    ResolverServers m_resolver;
    ResolvedServers m_resolved;
    LinkStateCache m_linkStates;
    std::unique_ptr<netlink::Socket> m_socket;
    int m_ioctlFd = -1; // for SIOCGIFINDEX
};

} // namespace tarnwick::linuxnet
