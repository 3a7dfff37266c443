#pragma once

#include "apply/IcmpPacket.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarnwick
{

// A host name with no IPv4 address.
class IcmpLookupError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// One open ICMP endpoint; closed when destroyed.
class IcmpSocket
{
public:
    virtual ~IcmpSocket() = default;
    // Sends all of `packet` to `to`; throws std::system_error when it cannot.
    virtual void send(std::span<const std::uint8_t> packet, const Ipv4& to) = 0;
    // Waits at most `timeoutMs` for one datagram; empty when none came. The
    // datagram starts with its IPv4 header, and an ICMP error about our
    // request arrives as the ICMP error message quoting it, whatever the
    // socket kind delivers underneath. Throws std::system_error on a socket
    // error.
    virtual std::optional<std::vector<std::uint8_t>> receive(int timeoutMs) = 0;
};

// What the echo exchange needs from the system.
class IcmpNetwork
{
public:
    virtual ~IcmpNetwork() = default;
    // Throws std::system_error when no ICMP socket can be opened.
    virtual std::unique_ptr<IcmpSocket> open(int ttl) = 0;
    // Name lookup; throws IcmpLookupError when the name has no IPv4 address.
    virtual Ipv4 resolve(const std::string& name) = 0;
    virtual std::uint16_t processId() = 0;
};

// The running system's ICMP; defined by the platform back end.
std::unique_ptr<IcmpNetwork> makeSystemIcmpNetwork();

} // namespace tarnwick
