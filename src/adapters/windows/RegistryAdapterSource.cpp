#include "adapters/windows/RegistryAdapterSource.h"

#include "base/TRegistry.h"

#include <exception>

namespace tarnwick::windows
{

namespace
{

// The two spellings name the same class: key names compare without case.
constexpr const char* kClassKey
    = "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E972-E325-11CE-BFC1-08002bE10318}";
constexpr const char* kNetworkKey
    = "SYSTEM\\CurrentControlSet\\Control\\Network\\{4D36E972-E325-11CE-BFC1-08002BE10318}\\";
constexpr const char* kLanInterfaceClass = "{ad498944-762f-11d0-8dcb-00c04fc3358c}";
constexpr int kLastSubkey = 49;

std::string subkeyName(int n)
{
    return (n < 10 ? "000" : "00") + std::to_string(n);
}

} // namespace

RegistryAdapterSource::RegistryAdapterSource(RegistryStore& store)
    : m_store(store)
{
}

std::vector<AdapterEntry> RegistryAdapterSource::discover()
{
    std::vector<AdapterEntry> found;
    try {
        TRegistry classKey(m_store);
        classKey.SetRootKey(RegRoot::LocalMachine);
        if (!classKey.OpenKeyReadOnly(kClassKey))
            return found;
        TRegistry reg(m_store);
        reg.SetRootKey(RegRoot::LocalMachine);
        for (int n = 0; n <= kLastSubkey; ++n) {
            const std::string sub = subkeyName(n);
            if (!classKey.KeyExists(sub))
                continue;
            AdapterEntry entry;
            // A key that cannot be opened reads as empty texts.
            reg.CloseKey();
            if (reg.OpenKeyReadOnly(std::string(kClassKey) + "\\" + sub)) {
                entry.description = reg.ReadString("DriverDesc");
                entry.instanceId = reg.ReadString("NetCfgInstanceId");
            }
            reg.CloseKey();
            std::string pnpId;
            if (reg.OpenKeyReadOnly(kNetworkKey + entry.instanceId + "\\Connection")) {
                entry.connectionName = reg.ReadString("Name");
                pnpId = reg.ReadString("PnpInstanceID");
            }
            reg.CloseKey();
            if (pnpId.empty())
                continue; // cannot name a LAN interface
            for (char& c : pnpId) {
                if (c == '\\')
                    c = '#';
            }
            const std::string control = std::string("SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\")
                + kLanInterfaceClass + "\\##?#" + pnpId + "#" + kLanInterfaceClass + "\\Control";
            const bool present = reg.OpenKeyReadOnly(control);
            reg.CloseKey();
            if (present)
                found.push_back(std::move(entry));
        }
    } catch (const std::exception&) {
        // An unreadable store finds what was found so far.
    }
    return found;
}

} // namespace tarnwick::windows
