#include "adapters/windows/RegistryLiveValuesSource.h"

#include "adapters/windows/MultiStringRule.h"
#include "base/ServiceError.h"
#include "base/TRegistry.h"

#include <exception>

namespace tarnwick::windows
{

namespace
{

std::vector<std::string> addressList(const RegistryStore& store, const std::string& key, const char* value)
{
    // Each value fails on its own: an unreadable one leaves its texts empty.
    const auto strings = readMultiString(store, RegRoot::LocalMachine, key, value);
    return strings ? takeMultiStrings(*strings) : std::vector<std::string> {};
}

std::string firstOfList(const std::string& text, const char* separators)
{
    const auto start = text.find_first_not_of(separators);
    if (start == std::string::npos)
        return {};
    return text.substr(start, text.find_first_of(separators, start) - start);
}

// The list's items joined by commas, as NameServer holds them.
std::string joinedList(const std::string& text, const char* separators)
{
    std::string out;
    for (auto start = text.find_first_not_of(separators); start != std::string::npos;
         start = text.find_first_not_of(separators, start)) {
        const auto end = text.find_first_of(separators, start);
        out += (out.empty() ? "" : ",") + text.substr(start, end - start);
        start = end;
    }
    return out;
}

} // namespace

RegistryLiveValuesSource::RegistryLiveValuesSource(RegistryStore& store)
    : m_store(store)
    , m_proxy(store)
{
}

InterfaceReading RegistryLiveValuesSource::readInterface(const AdapterEntry& adapter)
{
    InterfaceReading r;
    try {
        const std::string key = kTcpipInterfacesKey + adapter.instanceId;
        TRegistry reg(m_store);
        reg.SetRootKey(RegRoot::LocalMachine);
        if (!reg.OpenKeyReadOnly(key))
            return r;
        r.nameServer = reg.ReadString("NameServer");
        if (reg.ValueExists("EnableDHCP")) {
            try {
                r.dhcp = reg.ReadInteger("EnableDHCP") == 1;
            } catch (const ServiceError&) {
                r.dhcp = false;
            }
        }
        if (r.dhcp) {
            r.ip.push_back(reg.ReadString("IPAutoconfigurationAddress"));
            r.mask.push_back(reg.ReadString("IPAutoconfigurationMask"));
            r.leased = !r.ip.front().empty() && r.ip.front() != "0.0.0.0";
            // The lease's gateway and servers are in force: shown like static ones.
            r.gateway = addressList(m_store, key, "DhcpDefaultGateway");
            if (!r.gateway.empty())
                r.gatewayInForce = r.gateway.front();
        } else {
            r.ip = addressList(m_store, key, "IPAddress");
            r.mask = addressList(m_store, key, "SubnetMask");
            r.gateway = addressList(m_store, key, "DefaultGateway");
            if (!r.gateway.empty())
                r.gatewayInForce = r.gateway.front();
        }
        r.dnsInForce = firstOfList(r.nameServer, ",");
        if (r.dnsInForce.empty()) {
            const std::string leaseServers = reg.ReadString("DhcpNameServer");
            r.dnsInForce = firstOfList(leaseServers, " ,");
            if (r.dhcp && !r.dnsInForce.empty()) {
                r.nameServer = joinedList(leaseServers, " ,");
                r.dnsFromLease = true;
            }
        }
        reg.CloseKey();
    } catch (const std::exception&) {
        // An unreadable store shows empty texts.
        return {};
    }
    return r;
}

ProxyReading RegistryLiveValuesSource::readProxy()
{
    return m_proxy.read();
}

} // namespace tarnwick::windows
