#include "FixtureNetwork.h"

#include <cstdint>

namespace tarnwick::test
{

namespace
{

std::string maskOf(int prefix)
{
    const std::uint32_t bits = prefix == 0 ? 0u : ~std::uint32_t { 0 } << (32 - prefix);
    return std::to_string(bits >> 24) + "." + std::to_string((bits >> 16) & 0xff) + "."
        + std::to_string((bits >> 8) & 0xff) + "." + std::to_string(bits & 0xff);
}

std::string joined(const std::vector<std::string>& items)
{
    std::string out;
    for (const auto& s : items)
        out += (out.empty() ? "" : ",") + s;
    return out;
}

} // namespace

FixtureNetwork::FixtureNetwork()
{
    m_adapters.found = { { "02:00:00:00:00:01", "lan0", "veth" }, { "02:00:00:00:00:02", "lan1", "dummy" } };
}

void FixtureNetwork::setStatic(const std::string& ifname, const std::vector<std::string>& addresses,
    const std::vector<std::string>& gateways)
{
    InterfaceReading& r = m_values.readings[ifname];
    r.ip.clear();
    r.mask.clear();
    for (const std::string& a : addresses) {
        const auto slash = a.find('/');
        r.ip.push_back(a.substr(0, slash));
        r.mask.push_back(maskOf(std::stoi(a.substr(slash + 1))));
    }
    r.gateway = gateways;
    r.gatewayInForce = gateways.empty() ? "" : gateways.front();
    r.nameServer = joined(m_dns);
    r.dnsInForce = m_dns.empty() ? "" : m_dns.front();
}

void FixtureNetwork::setDns(const std::vector<std::string>& servers)
{
    m_dns = servers;
    for (auto& [name, r] : m_values.readings) {
        r.nameServer = joined(m_dns);
        r.dnsInForce = m_dns.empty() ? "" : m_dns.front();
    }
}

} // namespace tarnwick::test
