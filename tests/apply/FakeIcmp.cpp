#include "FakeIcmp.h"

#include "apply/IcmpPacket.h"

#include <stdexcept>
#include <system_error>

namespace tarnwick::test
{

namespace
{

class FakeSocket : public IcmpSocket
{
public:
    FakeSocket(FakeIcmpNetwork& net, FakeClock& clock, std::vector<Arrival> arrivals)
        : m_net(net)
        , m_clock(clock)
        , m_arrivals(arrivals.begin(), arrivals.end())
    {
        ++m_net.openNow;
    }
    ~FakeSocket() override { --m_net.openNow; }

    void send(std::span<const std::uint8_t> packet, const Ipv4& to) override
    {
        m_net.sent.push_back({ { packet.begin(), packet.end() }, to });
    }

    std::optional<std::vector<std::uint8_t>> receive(int timeoutMs) override
    {
        const auto budget = static_cast<std::uint32_t>(timeoutMs);
        if (m_arrivals.empty() || m_arrivals.front().afterMs - m_waited > budget) {
            m_clock.advance(budget);
            m_waited += budget;
            return std::nullopt;
        }
        Arrival a = m_arrivals.front();
        m_arrivals.pop_front();
        m_clock.advance(a.afterMs - m_waited);
        m_waited = a.afterMs;
        return a.datagram;
    }

private:
    FakeIcmpNetwork& m_net;
    FakeClock& m_clock;
    std::deque<Arrival> m_arrivals;
    std::uint32_t m_waited = 0; // since the socket opened
};

} // namespace

std::unique_ptr<IcmpSocket> FakeIcmpNetwork::open(int ttl)
{
    if (failOpen)
        throw std::system_error(EPERM, std::generic_category(), "cannot open an ICMP socket");
    ++opened;
    lastTtl = ttl;
    std::vector<Arrival> arrivals;
    if (!script.empty()) {
        arrivals = script.front();
        script.pop_front();
    }
    return std::make_unique<FakeSocket>(*this, m_clock, arrivals);
}

Ipv4 FakeIcmpNetwork::resolve(const std::string& name)
{
    lookups.push_back(name);
    if (name == "gw.lab")
        return Ipv4::of(192, 0, 2, 1);
    throw IcmpLookupError("cannot find the host " + name);
}

namespace
{

std::vector<std::uint8_t> ipHeader(int ihl, Ipv4 from, std::uint8_t ttl)
{
    std::vector<std::uint8_t> d(static_cast<std::size_t>(ihl) * 4);
    d[0] = static_cast<std::uint8_t>(0x40 | ihl);
    d[8] = ttl;
    d[9] = 1;
    const auto bytes = from.bytes();
    std::copy(bytes.begin(), bytes.end(), d.begin() + 12);
    return d;
}

} // namespace

std::vector<std::uint8_t> echoDatagram(
    std::uint8_t type, std::uint16_t sequence, Ipv4 from, std::uint8_t ttl, int ihl)
{
    auto d = ipHeader(ihl, from, ttl);
    auto icmp = buildEchoRequest(0x4d2, sequence, 0);
    icmp[0] = type;
    d.insert(d.end(), icmp.begin(), icmp.end());
    return d;
}

std::vector<std::uint8_t> errorDatagram(std::uint8_t type, std::uint16_t quotedSequence, Ipv4 from, int ihl)
{
    auto d = ipHeader(ihl, from, 64);
    const std::uint8_t header[8] = { type, 1, 0, 0, 0, 0, 0, 0 };
    d.insert(d.end(), header, header + 8);
    auto quotedIp = ipHeader(ihl, Ipv4::of(192, 0, 2, 10), 1);
    d.insert(d.end(), quotedIp.begin(), quotedIp.end());
    auto request = buildEchoRequest(0x4d2, quotedSequence, 0);
    d.insert(d.end(), request.begin(), request.begin() + 8);
    return d;
}

} // namespace tarnwick::test
