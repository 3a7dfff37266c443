#include "adapters/linux/ResolvedServers.h"

#include "adapters/linux/GioLibrary.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/stat.h>
#include <utility>

namespace tarnwick::linuxnet
{

namespace
{

constexpr const char* kService = "org.freedesktop.resolve1";
constexpr int kTimeoutMs = 200;

struct VariantUnref {
    void operator()(GVariant* v) const { GioLibrary::get()->variantUnref(v); }
};
using Variant = std::unique_ptr<GVariant, VariantUnref>;

Variant call(const GioLibrary& gio, GDBusConnection* bus, const char* path, const char* interface,
    const char* method, GVariant* args, const char* replyType)
{
    GError* error = nullptr;
    GVariant* reply = gio.connectionCallSync(bus, kService, path, interface, method, args,
        variantType(replyType), G_DBUS_CALL_FLAGS_NO_AUTO_START, kTimeoutMs, nullptr, &error);
    if (error)
        gio.errorFree(error);
    return Variant(reply);
}

} // namespace

bool resolvesThroughStub(const std::vector<std::string>& servers)
{
    if (servers.empty())
        return false;
    for (const std::string& s : servers) {
        if (s != "127.0.0.53" && s != "127.0.0.54")
            return false;
    }
    return true;
}

ResolvedServers::ResolvedServers(std::filesystem::path runtimeDir)
    : m_runtimeDir(std::move(runtimeDir))
{
}

ResolvedServers::~ResolvedServers()
{
    if (m_bus)
        GioLibrary::get()->objectUnref(m_bus);
}

std::optional<std::vector<std::string>> ResolvedServers::linkServers(int ifindex)
{
    struct stat st {
    };
    if (::stat(m_runtimeDir.c_str(), &st) != 0)
        return std::nullopt;
    const GioLibrary* gio = GioLibrary::get();
    if (!gio)
        return std::nullopt;
    if (!m_bus) {
        m_bus = gio->busGetSync(G_BUS_TYPE_SYSTEM, nullptr, nullptr);
        if (!m_bus)
            return std::nullopt;
    }
    const Variant link = call(*gio, m_bus, "/org/freedesktop/resolve1", "org.freedesktop.resolve1.Manager",
        "GetLink", gio->variantNew("(i)", ifindex), "(o)");
    if (!link)
        return std::nullopt;
    const gchar* path = nullptr;
    gio->variantGet(link.get(), "(&o)", &path);
    const Variant dns = call(*gio, m_bus, path, "org.freedesktop.DBus.Properties", "Get",
        gio->variantNew("(ss)", "org.freedesktop.resolve1.Link", "DNS"), "(v)");
    if (!dns)
        return std::nullopt;
    GVariant* inner = nullptr;
    gio->variantGet(dns.get(), "(v)", &inner);
    const Variant list(inner);
    if (!gio->variantIsOfType(list.get(), variantType("a(iay)")))
        return std::nullopt;
    std::vector<std::string> servers;
    GVariantIter iter;
    gio->variantIterInit(&iter, list.get());
    gint32 family = 0;
    GVariant* bytes = nullptr;
    while (gio->variantIterNext(&iter, "(i@ay)", &family, &bytes)) {
        const Variant address(bytes);
        gsize size = 0;
        const void* data = gio->variantGetFixedArray(address.get(), &size, 1);
        if (family == AF_INET && size == 4) {
            char text[INET_ADDRSTRLEN] = {};
            ::inet_ntop(AF_INET, data, text, sizeof text);
            servers.emplace_back(text);
        }
    }
    return servers;
}

} // namespace tarnwick::linuxnet
