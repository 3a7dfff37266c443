#include "adapters/linux/GSettingsProxySource.h"

#include <gio/gio.h>

#include "base/Text.h"

#include <charconv>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <sys/stat.h>

namespace tarnwick::linuxnet
{

namespace
{

constexpr const char* kSchema = "org.gnome.system.proxy";
constexpr const char* kHttpSchema = "org.gnome.system.proxy.http";

struct ObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
using Settings = std::unique_ptr<GSettings, ObjectUnref>;

bool schemaInstalled(const char* id)
{
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    if (!source)
        return false;
    GSettingsSchema* schema = g_settings_schema_source_lookup(source, id, TRUE);
    if (!schema)
        return false;
    g_settings_schema_unref(schema);
    return true;
}

std::string takeString(gchar* text)
{
    std::string out = text ? text : "";
    g_free(text);
    return out;
}

bool nonEmpty(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value;
}

// The desktop's settings store takes writes over the session bus; without
// one (a console, a service) writes are lost with only a warning, so the
// proxy would be reported written when it was not. An explicit back end
// (tests, keyfile) needs no bus; otherwise the bus must answer now.
bool desktopSettingsReachable()
{
    if (nonEmpty("GSETTINGS_BACKEND"))
        return true;
    if (!nonEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        // Only the runtime folder's socket: never let GIO autolaunch a bus.
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        struct stat st {
        };
        if (!runtime || !*runtime || ::stat((std::string(runtime) + "/bus").c_str(), &st) != 0
            || !S_ISSOCK(st.st_mode))
            return false;
    }
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!bus) {
        g_clear_error(&error);
        return false;
    }
    g_object_unref(bus);
    return true;
}

} // namespace

bool GSettingsProxySource::available()
{
    return desktopSettingsReachable() && schemaInstalled(kSchema) && schemaInstalled(kHttpSchema);
}

ProxyReading GSettingsProxySource::read()
{
    ProxyReading r;
    // g_settings_new aborts on an unknown schema; ask first.
    if (!available())
        return r;
    const Settings proxy(g_settings_new(kSchema));
    const Settings http(g_settings_new(kHttpSchema));
    r.enabled = takeString(g_settings_get_string(proxy.get(), "mode")) == "manual";
    r.server = takeString(g_settings_get_string(http.get(), "host"));
    const int port = g_settings_get_int(http.get(), "port");
    // The schema's default port (8080) stands there with no host at all.
    if (port > 0 && !r.server.empty())
        r.server += ":" + std::to_string(port);
    return r;
}

void GSettingsProxySource::write(bool on, const std::string& host, const std::string& port)
{
    if (!available())
        throw std::runtime_error("the desktop's proxy settings (org.gnome.system.proxy) are not installed");
    const std::string portText = trimBlanks(port);
    int number = 0;
    const auto [end, ec] = std::from_chars(portText.data(), portText.data() + portText.size(), number);
    if (ec != std::errc() || end != portText.data() + portText.size() || number < 0 || number > 65535)
        number = 0;
    const Settings proxy(g_settings_new(kSchema));
    const Settings http(g_settings_new(kHttpSchema));
    const bool written = g_settings_set_string(http.get(), "host", host.c_str())
        && g_settings_set_int(http.get(), "port", number)
        && g_settings_set_string(proxy.get(), "mode", on ? "manual" : "none");
    g_settings_sync();
    if (!written)
        throw std::runtime_error("the desktop's proxy settings refused the change");
}

} // namespace tarnwick::linuxnet
