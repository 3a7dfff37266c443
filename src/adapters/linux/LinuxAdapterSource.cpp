#include "adapters/linux/LinuxAdapterSource.h"

#include "netlink/linux/Links.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <linux/ethtool.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace tarnwick::linuxnet
{

namespace
{

// The factory-set hardware address; empty when the driver has none (veth,
// dummy) or does not say.
std::string permanentAddress(const std::string& ifname)
{
    if (ifname.size() >= IFNAMSIZ)
        return {};
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return {};
    constexpr std::uint32_t kRoom = 32;
    alignas(ethtool_perm_addr) unsigned char buf[sizeof(ethtool_perm_addr) + kRoom] = {};
    auto* head = reinterpret_cast<ethtool_perm_addr*>(buf);
    const unsigned char* data = buf + sizeof(ethtool_perm_addr);
    head->cmd = ETHTOOL_GPERMADDR;
    head->size = kRoom;
    ifreq ifr {};
    std::memcpy(ifr.ifr_name, ifname.c_str(), ifname.size());
    ifr.ifr_data = reinterpret_cast<char*>(buf);
    const int rc = ::ioctl(fd, SIOCETHTOOL, &ifr);
    ::close(fd);
    if (rc != 0 || head->size == 0 || head->size > kRoom)
        return {};
    std::string text;
    bool zero = true;
    for (std::uint32_t i = 0; i < head->size; ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, i ? ":%02x" : "%02x", data[i]);
        text += byte;
        zero = zero && data[i] == 0;
    }
    return zero ? std::string() : text;
}

} // namespace

LinuxAdapterSource::LinuxAdapterSource(DeviceRoots roots)
    : m_roots(std::move(roots))
{
}

std::vector<AdapterEntry> LinuxAdapterSource::discover()
{
    std::vector<netlink::Link> links;
    try {
        netlink::Socket socket;
        links = netlink::dumpLinks(socket);
    } catch (const std::exception&) {
        // Discovery reports nothing: without netlink no adapter is found.
        return {};
    }
    std::vector<AdapterEntry> found;
    for (const netlink::Link& link : links) {
        if (!link.up || link.loopback)
            continue;
        AdapterEntry entry;
        entry.connectionName = link.name;
        entry.description = describeDevice(m_roots, link.name, link.kind);
        entry.instanceId = permanentAddress(link.name);
        if (entry.instanceId.empty())
            entry.instanceId = link.address.empty() ? "ifindex:" + std::to_string(link.index) : link.address;
        found.push_back(std::move(entry));
    }
    return found;
}

} // namespace tarnwick::linuxnet
