#pragma once

#include "base/Ipv4.h"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarnwick::linuxnet
{
class NetlinkSocket;
}

namespace tarnwick::netsh
{

// A failed netlink request; `code` is the kernel's positive errno value.
class NetlinkError : public std::runtime_error
{
public:
    NetlinkError(const std::string& what, int code)
        : std::runtime_error(what)
        , m_code(code)
    {
    }
    int code() const { return m_code; }

private:
    int m_code;
};

struct InterfaceAddress {
    Ipv4 address;
    int prefix = 0;
    bool dynamic = false; // has a limited lifetime, as a DHCP lease gives
    bool operator==(const InterfaceAddress&) const = default;
};

struct DefaultRoute {
    Ipv4 gateway;
    int metric = 0;
    int protocol = 0;
};

struct InterfaceInfo {
    int index = 0;
    std::string name;
};

// The IPv4 addresses and default routes of interfaces, read and changed with
// rtnetlink in the caller's network namespace. Every call throws NetlinkError.
class Netlink
{
public:
    Netlink();
    ~Netlink();
    Netlink(const Netlink&) = delete;
    Netlink& operator=(const Netlink&) = delete;

    std::vector<InterfaceInfo> interfaces();
    std::vector<InterfaceAddress> addresses(int ifindex);
    // `lifetime` in seconds, 0 for a permanent address.
    void addAddress(int ifindex, const InterfaceAddress& address, std::uint32_t lifetime = 0);
    void removeAddress(int ifindex, const InterfaceAddress& address);

    // Default routes of the main table that leave through `ifindex`.
    std::vector<DefaultRoute> defaultRoutes(int ifindex);
    // Adds a default route; a gateway outside the interface's subnets is added
    // as on-link, as Windows accepts such a gateway too. Adding one that exists
    // with the same metric is no error.
    void addDefaultRoute(int ifindex, Ipv4 gateway, int metric, int protocol);
    void removeDefaultRoute(int ifindex, const DefaultRoute& route);

private:
    std::unique_ptr<linuxnet::NetlinkSocket> m_sock;
};

} // namespace tarnwick::netsh
