#include "adapters/linux/GSettingsProxySource.h"

#include "adapters/linux/GioLibrary.h"

#include <memory>
#include <string>

namespace tarnwick::linuxnet
{

namespace
{

constexpr const char* kSchema = "org.gnome.system.proxy";
constexpr const char* kHttpSchema = "org.gnome.system.proxy.http";

struct ObjectUnref {
    void operator()(gpointer object) const { GioLibrary::get()->objectUnref(object); }
};
using Settings = std::unique_ptr<GSettings, ObjectUnref>;

bool schemaInstalled(const GioLibrary& gio, const char* id)
{
    GSettingsSchemaSource* source = gio.schemaSourceGetDefault();
    if (!source)
        return false;
    GSettingsSchema* schema = gio.schemaSourceLookup(source, id, TRUE);
    if (!schema)
        return false;
    gio.schemaUnref(schema);
    return true;
}

std::string takeString(const GioLibrary& gio, gchar* text)
{
    std::string out = text ? text : "";
    gio.free(text);
    return out;
}

} // namespace

bool GSettingsProxySource::available()
{
    const GioLibrary* gio = GioLibrary::get();
    return gio && schemaInstalled(*gio, kSchema) && schemaInstalled(*gio, kHttpSchema);
}

ProxyReading GSettingsProxySource::read()
{
    ProxyReading r;
    // g_settings_new aborts on an unknown schema; ask first.
    if (!available())
        return r;
    const GioLibrary& gio = *GioLibrary::get();
    const Settings proxy(gio.settingsNew(kSchema));
    const Settings http(gio.settingsNew(kHttpSchema));
    r.enabled = takeString(gio, gio.settingsGetString(proxy.get(), "mode")) == "manual";
    r.server = takeString(gio, gio.settingsGetString(http.get(), "host"));
    const int port = gio.settingsGetInt(http.get(), "port");
    // The schema's default port (8080) stands there with no host at all.
    if (port > 0 && !r.server.empty())
        r.server += ":" + std::to_string(port);
    return r;
}

} // namespace tarnwick::linuxnet
