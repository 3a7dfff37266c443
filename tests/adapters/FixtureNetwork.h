#pragma once

#include "ScenarioNetwork.h"

#include <map>

namespace tarnwick::test
{

// Adapters and values held in memory: the fixture back end.
class FixtureAdapterSource : public AdapterSource
{
public:
    std::vector<AdapterEntry> found;
    std::vector<AdapterEntry> discover() override { return found; }
};

class FixtureValuesSource : public LiveValuesSource
{
public:
    std::map<std::string, InterfaceReading> readings; // by connection name
    ProxyReading proxy;
    int interfaceReads = 0;
    int proxyReads = 0;

    InterfaceReading readInterface(const AdapterEntry& adapter) override
    {
        ++interfaceReads;
        const auto it = readings.find(adapter.connectionName);
        return it == readings.end() ? InterfaceReading {} : it->second;
    }
    ProxyReading readProxy() override
    {
        ++proxyReads;
        return proxy;
    }
};

class FixtureNetwork : public ScenarioNetwork
{
public:
    FixtureNetwork();
    AdapterSource& adapters() override { return m_adapters; }
    LiveValuesSource& values() override { return m_values; }
    std::string first() const override { return "lan0"; }
    std::string second() const override { return "lan1"; }
    void setStatic(const std::string& ifname, const std::vector<std::string>& addresses,
        const std::vector<std::string>& gateways) override;
    void setDns(const std::vector<std::string>& servers) override;

private:
    FixtureAdapterSource m_adapters;
    FixtureValuesSource m_values;
    std::vector<std::string> m_dns;
};

} // namespace tarnwick::test
