// Stands in for systemd-networkd on the lab's system bus: owns its name and
// says that the links named on the command line are configured by it. Prints
// "ready" once it owns the name; runs until killed.
#include <gio/gio.h>

#include <cstdio>
#include <set>
#include <string>

namespace
{

constexpr const char* kIntrospection = R"(<node>
  <interface name="org.freedesktop.network1.Manager">
    <method name="GetLinkByName">
      <arg name="name" type="s" direction="in"/>
      <arg name="ifindex" type="i" direction="out"/>
      <arg name="path" type="o" direction="out"/>
    </method>
  </interface>
  <interface name="org.freedesktop.network1.Link">
    <property name="AdministrativeState" type="s" access="read"/>
  </interface>
</node>)";

std::set<std::string> g_links;

void managerCall(GDBusConnection*, const char*, const char*, const char*, const char*, GVariant* params,
    GDBusMethodInvocation* invocation, gpointer)
{
    const char* name = nullptr;
    g_variant_get(params, "(&s)", &name);
    if (!g_links.count(name)) {
        g_dbus_method_invocation_return_dbus_error(
            invocation, "org.freedesktop.network1.NoSuchLink", "Link not found");
        return;
    }
    const std::string path = std::string("/org/freedesktop/network1/link/") + name;
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(io)", 1, path.c_str()));
}

GVariant* linkProperty(
    GDBusConnection*, const char*, const char*, const char*, const char*, GError**, gpointer)
{
    return g_variant_new_string("configured");
}

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        g_links.insert(argv[i]);
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, &error);
    if (!bus)
        return 1;
    GDBusNodeInfo* info = g_dbus_node_info_new_for_xml(kIntrospection, &error);
    static const GDBusInterfaceVTable manager { managerCall, nullptr, nullptr, {} };
    static const GDBusInterfaceVTable link { nullptr, linkProperty, nullptr, {} };
    g_dbus_connection_register_object(
        bus, "/org/freedesktop/network1", info->interfaces[0], &manager, nullptr, nullptr, &error);
    for (const auto& name : g_links) {
        const std::string path = "/org/freedesktop/network1/link/" + name;
        g_dbus_connection_register_object(
            bus, path.c_str(), info->interfaces[1], &link, nullptr, nullptr, &error);
    }
    GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
        "org.freedesktop.DBus", "RequestName", g_variant_new("(su)", "org.freedesktop.network1", 4u),
        G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, &error);
    if (!reply)
        return 1;
    g_variant_unref(reply);
    std::puts("ready");
    std::fflush(stdout);
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    g_main_loop_run(loop);
    return 0;
}
