#include "adapters/linux/ResolvedServers.h"

#include <gio/gio.h>

#include <arpa/inet.h>
#include <memory>
#include <netinet/in.h>
#include <sys/stat.h>
#include <utility>

namespace tarnwick::linuxnet
{

namespace
{

constexpr const char* kService = "org.freedesktop.resolve1";
constexpr int kTimeoutMs = 200;
constexpr auto kFreshFor = std::chrono::seconds(1);

struct VariantUnref {
    void operator()(GVariant* v) const { g_variant_unref(v); }
};
using Variant = std::unique_ptr<GVariant, VariantUnref>;

Variant call(GDBusConnection* bus, const char* path, const char* interface, const char* method,
    GVariant* args, const char* replyType)
{
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(bus, kService, path, interface, method, args,
        G_VARIANT_TYPE(replyType), G_DBUS_CALL_FLAGS_NO_AUTO_START, kTimeoutMs, nullptr, &error);
    if (error)
        g_error_free(error);
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

ResolvedServers::ResolvedServers(Mode mode, std::filesystem::path runtimeDir)
    : m_mode(mode)
    , m_runtimeDir(std::move(runtimeDir))
{
}

ResolvedServers::~ResolvedServers()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    // At most one call in flight, bounded by its time-out.
    if (m_asker.joinable())
        m_asker.join();
    if (m_bus)
        g_object_unref(m_bus);
}

std::optional<std::vector<std::string>> ResolvedServers::linkServers(int ifindex)
{
    struct stat st {
    };
    if (::stat(m_runtimeDir.c_str(), &st) != 0)
        return std::nullopt;
    if (m_mode == Mode::Wait)
        return ask(ifindex);

    std::lock_guard lock(m_mutex);
    const bool fresh = m_readLink == ifindex && Clock::now() - m_readAt < kFreshFor;
    if (!fresh && m_requested == 0) {
        m_requested = ifindex;
        if (!m_asker.joinable())
            m_asker = std::thread([this] { serveRequests(); });
        m_wake.notify_one();
    }
    if (m_readLink != ifindex)
        return std::nullopt;
    return m_reading;
}

void ResolvedServers::serveRequests()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || m_requested != 0; });
        if (m_stopping)
            return;
        const int ifindex = m_requested;
        lock.unlock();
        std::optional<std::vector<std::string>> servers = ask(ifindex);
        lock.lock();
        m_readLink = ifindex;
        m_reading = std::move(servers);
        m_readAt = Clock::now();
        m_requested = 0;
    }
}

// Only one thread at a time gets here: the caller in Wait mode, the asker in
// Background mode.
std::optional<std::vector<std::string>> ResolvedServers::ask(int ifindex)
{
    if (!m_bus) {
        m_bus = g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, nullptr);
        if (!m_bus)
            return std::nullopt;
    }
    const Variant link = call(m_bus, "/org/freedesktop/resolve1", "org.freedesktop.resolve1.Manager",
        "GetLink", g_variant_new("(i)", ifindex), "(o)");
    if (!link)
        return std::nullopt;
    const gchar* path = nullptr;
    g_variant_get(link.get(), "(&o)", &path);
    const Variant dns = call(m_bus, path, "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", "org.freedesktop.resolve1.Link", "DNS"), "(v)");
    if (!dns)
        return std::nullopt;
    GVariant* inner = nullptr;
    g_variant_get(dns.get(), "(v)", &inner);
    const Variant list(inner);
    if (!g_variant_is_of_type(list.get(), G_VARIANT_TYPE("a(iay)")))
        return std::nullopt;
    std::vector<std::string> servers;
    GVariantIter iter;
    g_variant_iter_init(&iter, list.get());
    gint32 family = 0;
    GVariant* bytes = nullptr;
    while (g_variant_iter_next(&iter, "(i@ay)", &family, &bytes)) {
        const Variant address(bytes);
        gsize size = 0;
        const void* data = g_variant_get_fixed_array(address.get(), &size, 1);
        if (family == AF_INET && size == 4) {
            char text[INET_ADDRSTRLEN] = {};
            ::inet_ntop(AF_INET, data, text, sizeof text);
            servers.emplace_back(text);
        }
    }
    return servers;
}

} // namespace tarnwick::linuxnet
