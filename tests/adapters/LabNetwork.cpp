#include "LabNetwork.h"

#include "Process.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace tarnwick::test
{

void mustRun(const std::vector<std::string>& argv)
{
    const ProcessResult r = runProcess(argv);
    std::string line;
    for (const auto& a : argv)
        line += a + " ";
    ASSERT_EQ(r.exitCode, 0) << line << "\n" << r.out << r.err;
}

std::filesystem::path labDir()
{
    const char* lab = std::getenv("TARNWICK_LAB");
    const char* dir = std::getenv("TARNWICK_LAB_DIR");
    if (!lab || !*lab || !dir || !*dir)
        throw std::runtime_error(
            "not inside a lab: this test changes addresses and runs only under scripts/lab");
    return dir;
}

void addSecondLink()
{
    // A second veth whose peer sits on the lab's network side (no dummy
    // links: the kernel may lack the module).
    const char* netNs = std::getenv("TARNWICK_LAB_NET_NS");
    ASSERT_TRUE(netNs && *netNs);
    mustRun({ "ip", "link", "add", "lan1", "type", "veth", "peer", "name", "uplink1", "netns", netNs });
    mustRun({ "ip", "-n", netNs, "link", "set", "uplink1", "up" });
    mustRun({ "ip", "link", "set", "lan1", "up" });
}

LabNetwork::LabNetwork()
    : m_resolvConf(labDir() / "scenario-resolv.conf")
{
    m_values = std::make_unique<linuxnet::LinuxLiveValuesSource>(
        nullptr, linuxnet::ResolvedServers::Mode::Wait, m_resolvConf);
    addSecondLink();
    setDns({});
}

LabNetwork::~LabNetwork()
{
    runProcess({ "ip", "link", "del", "lan1" });
    runProcess({ "ip", "-4", "addr", "flush", "dev", "lan0" });
}

void LabNetwork::setStatic(const std::string& ifname, const std::vector<std::string>& addresses,
    const std::vector<std::string>& gateways)
{
    mustRun({ "ip", "-4", "addr", "flush", "dev", ifname });
    for (const std::string& a : addresses)
        mustRun({ "ip", "addr", "add", a, "dev", ifname });
    // Two links may not share a default route's metric.
    int metric = ifname == first() ? 1 : 101;
    for (const std::string& g : gateways)
        mustRun(
            { "ip", "route", "add", "default", "via", g, "dev", ifname, "metric", std::to_string(metric++) });
}

void LabNetwork::setDns(const std::vector<std::string>& servers)
{
    std::ofstream out(m_resolvConf, std::ios::trunc);
    out << "# scenario resolver\n";
    for (const auto& s : servers)
        out << "nameserver " << s << "\n";
}

} // namespace tarnwick::test
