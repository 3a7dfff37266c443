#pragma once

#include "apply/IcmpNetwork.h"

namespace tarnwick
{

enum class IcmpSocketKind {
    Automatic, // raw when the process may open one, else a ping socket
    Raw,
    Datagram, // ping socket: no privilege where net.ipv4.ping_group_range allows
};

// ICMP through the Linux socket API.
class LinuxIcmpNetwork : public IcmpNetwork
{
public:
    explicit LinuxIcmpNetwork(IcmpSocketKind kind = IcmpSocketKind::Automatic)
        : m_kind(kind)
    {
    }

    std::unique_ptr<IcmpSocket> open(int ttl) override;
    Ipv4 resolve(const std::string& name) override;
    std::uint16_t processId() override;

private:
    IcmpSocketKind m_kind;
};

} // namespace tarnwick
