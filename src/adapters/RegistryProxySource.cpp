#include "adapters/RegistryProxySource.h"

#include "base/Text.h"

#include "base/ServiceError.h"
#include "base/TRegistry.h"

#include <exception>

namespace tarnwick
{

RegistryProxySource::RegistryProxySource(RegistryStore& store)
    : m_store(store)
{
}

ProxyReading RegistryProxySource::read()
{
    ProxyReading r;
    try {
        TRegistry reg(m_store);
        reg.SetRootKey(RegRoot::CurrentUser);
        if (!reg.OpenKeyReadOnly(kInternetSettingsKey))
            return r;
        // ReadInteger throws for a missing value or one of another type; both
        // mean "off" here rather than an error on every reload.
        if (reg.ValueExists("ProxyEnable")) {
            try {
                r.enabled = reg.ReadInteger("ProxyEnable") == 1;
            } catch (const ServiceError&) {
                r.enabled = false;
            }
        }
        r.server = reg.ReadString("ProxyServer");
        reg.CloseKey();
    } catch (const std::exception&) {
        // An unreadable store reads as no proxy.
        return {};
    }
    return r;
}

void RegistryProxySource::write(bool on, const std::string& host, const std::string& port)
{
    TRegistry reg(m_store);
    reg.SetRootKey(RegRoot::CurrentUser);
    // Created when missing: a fresh account has no such key (Windows always does).
    reg.OpenKey(kInternetSettingsKey, true);
    reg.WriteInteger("ProxyEnable", on ? 1 : 0);
    reg.WriteString("ProxyServer", proxyServerText(host, port));
    reg.CloseKey();
}

std::string proxyServerText(const std::string& host, const std::string& port)
{
    return trimBlanks(port).empty() ? host : host + ":" + port;
}

} // namespace tarnwick
