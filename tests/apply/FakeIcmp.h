#pragma once

#include "apply/IcmpNetwork.h"
#include "apply/TickClock.h"

#include <deque>
#include <memory>
#include <vector>

namespace tarnwick::test
{

class FakeClock : public TickClock
{
public:
    explicit FakeClock(std::uint32_t start = 1000)
        : m_now(start)
    {
    }
    std::uint32_t now() override { return m_now; }
    void advance(std::uint32_t ms) { m_now += ms; }

private:
    std::uint32_t m_now;
};

// Datagrams that "arrive" after a delay on the fake clock; the socket sees
// them as the wait reaches them.
struct Arrival {
    std::uint32_t afterMs;
    std::vector<std::uint8_t> datagram;
};

struct Sent {
    std::vector<std::uint8_t> packet;
    Ipv4 to;
};

class FakeIcmpNetwork : public IcmpNetwork
{
public:
    explicit FakeIcmpNetwork(FakeClock& clock)
        : m_clock(clock)
    {
    }

    std::unique_ptr<IcmpSocket> open(int ttl) override;
    Ipv4 resolve(const std::string& name) override;
    std::uint16_t processId() override { return 0x4d2; }

    // Per exchange, in order: what arrives for it.
    std::deque<std::vector<Arrival>> script;
    std::vector<Sent> sent;
    std::vector<std::string> lookups;
    int opened = 0;
    int openNow = 0;
    int lastTtl = 0;
    bool failOpen = false;

private:
    FakeClock& m_clock;
};

// IPv4 header (IHL words of 4 bytes) + ICMP header; helpers for crafting.
std::vector<std::uint8_t> echoDatagram(std::uint8_t type, std::uint16_t sequence,
    Ipv4 from = Ipv4::of(192, 0, 2, 1), std::uint8_t ttl = 64, int ihl = 5);
std::vector<std::uint8_t> errorDatagram(
    std::uint8_t type, std::uint16_t quotedSequence, Ipv4 from = Ipv4::of(192, 0, 2, 1), int ihl = 5);

} // namespace tarnwick::test
