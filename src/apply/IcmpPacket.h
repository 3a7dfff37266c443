#pragma once

#include "base/Ipv4.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

// The bytes of the echo exchange: building the request and examining what
// comes back, free of sockets and clocks so crafted datagrams can test them.
namespace tarnwick
{

using EchoRequest = std::array<std::uint8_t, 52>;

inline constexpr std::uint8_t kIcmpEchoReply = 0;
inline constexpr std::uint8_t kIcmpUnreachable = 3;
inline constexpr std::uint8_t kIcmpEchoRequest = 8;
inline constexpr std::uint8_t kIcmpTimeExceeded = 11;

// A datagram that cannot be an answer (too short, or an ICMP type the
// exchange does not know). It ends the exchange.
class IcmpError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

enum class ReplyKind { Echo, TimedOut, Unreachable, TtlExpired, Error };

// RFC 1071 ones'-complement sum; the result goes into the packet as is,
// byte order included, so it verifies whatever order the host uses.
std::uint16_t internetChecksum(std::span<const std::uint8_t> bytes);

// Type 8, code 0, checksum, then identifier, sequence and tick count least
// significant byte first, eight zero bytes and 32 bytes of 'E', which `data`
// overwrites from the start (at most 32 bytes of it are used).
EchoRequest buildEchoRequest(
    std::uint16_t identifier, std::uint16_t sequence, std::uint32_t tickCount, std::string_view data = {});

struct ExaminedDatagram {
    ReplyKind kind = ReplyKind::Error;
    std::uint8_t type = 0;
    // Of the echo, or of the request an error message quotes; empty when the
    // quote is cut short, so the datagram answers nothing.
    std::optional<std::uint16_t> sequence;
    std::uint8_t ttl = 0;
    Ipv4 from {};
};

// Examines one received IPv4 datagram (IP header first). Echo reply and echo
// request give Echo; destination unreachable and time exceeded give
// Unreachable and TtlExpired with the sequence number of the quoted request
// (whose IP header is taken to be as long as the outer one). Throws IcmpError
// for a datagram too short for its headers and for any other type.
ExaminedDatagram examineDatagram(std::span<const std::uint8_t> datagram);

} // namespace tarnwick
