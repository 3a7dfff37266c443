#pragma once

#include "ScenarioNetwork.h"

#include "adapters/linux/LinuxAdapterSource.h"
#include "adapters/linux/LinuxLiveValuesSource.h"

#include <filesystem>
#include <memory>

namespace tarnwick::test
{

// Runs a program and fails the test when it does not exit 0.
void mustRun(const std::vector<std::string>& argv);

// The lab's laptop side read over netlink: lan0 (the veth facing the lab's
// network) and lan1, a second veth this object adds and removes. Refuses to
// run outside a lab, where it would change this machine's network.
class LabNetwork : public ScenarioNetwork
{
public:
    LabNetwork();
    ~LabNetwork() override;
    AdapterSource& adapters() override { return m_adapters; }
    LiveValuesSource& values() override { return *m_values; }
    std::string first() const override { return "lan0"; }
    std::string second() const override { return "lan1"; }
    void setStatic(const std::string& ifname, const std::vector<std::string>& addresses,
        const std::vector<std::string>& gateways) override;
    void setDns(const std::vector<std::string>& servers) override;

private:
    std::filesystem::path m_resolvConf;
    linuxnet::LinuxAdapterSource m_adapters;
    std::unique_ptr<linuxnet::LinuxLiveValuesSource> m_values;
};

// Adds lan1, a second adapter (veth) on the laptop side.
void addSecondLink();

// The lab's folder; throws outside a lab.
std::filesystem::path labDir();

} // namespace tarnwick::test
