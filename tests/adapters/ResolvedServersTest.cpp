// The per-link servers from systemd-resolved, served by a stand-in resolved
// on a private message bus (a dbus-daemon this test starts and stops).
#include "adapters/linux/ResolvedServers.h"

#include "Process.h"
#include "TempDir.h"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace tarnwick;

namespace
{

constexpr int kLink = 7;
constexpr int kHangingLink = 9; // resolved never answers for it

const char* kIntrospection = R"xml(<node>
  <interface name="org.freedesktop.resolve1.Manager">
    <method name="GetLink"><arg type="i" direction="in"/><arg type="o" direction="out"/></method>
  </interface>
  <interface name="org.freedesktop.resolve1.Link">
    <property name="DNS" type="a(iay)" access="read"/>
  </interface>
</node>)xml";

void onGetLink(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters,
    GDBusMethodInvocation* invocation, gpointer)
{
    gint32 ifindex = 0;
    g_variant_get(parameters, "(i)", &ifindex);
    if (ifindex == kHangingLink) {
        g_object_ref(invocation); // kept, never answered: a bus that hangs
        return;
    }
    if (ifindex != kLink) {
        g_dbus_method_invocation_return_dbus_error(
            invocation, "org.freedesktop.resolve1.NoSuchLink", "no link");
        return;
    }
    g_dbus_method_invocation_return_value(
        invocation, g_variant_new("(o)", "/org/freedesktop/resolve1/link/_37"));
}

GVariant* onGetDns(
    GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GError**, gpointer)
{
    const guint8 first[4] = { 192, 0, 2, 53 };
    const guint8 v6[16] = { 0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1 };
    const guint8 second[4] = { 192, 0, 2, 54 };
    GVariantBuilder b;
    g_variant_builder_init(&b, G_VARIANT_TYPE("a(iay)"));
    g_variant_builder_add(
        &b, "(i@ay)", AF_INET, g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, first, sizeof first, 1));
    g_variant_builder_add(
        &b, "(i@ay)", AF_INET6, g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, v6, sizeof v6, 1));
    g_variant_builder_add(
        &b, "(i@ay)", AF_INET, g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, second, sizeof second, 1));
    return g_variant_builder_end(&b);
}

// Runs in a forked child: owns resolved's name on the bus and answers.
[[noreturn]] void serveFakeResolved(const std::string& address)
{
    GDBusConnection* bus = g_dbus_connection_new_for_address_sync(address.c_str(),
        static_cast<GDBusConnectionFlags>(
            G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    if (!bus)
        ::_exit(2);
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
    const GDBusInterfaceVTable manager = { onGetLink, nullptr, nullptr, {} };
    const GDBusInterfaceVTable link = { nullptr, onGetDns, nullptr, {} };
    g_dbus_connection_register_object(
        bus, "/org/freedesktop/resolve1", node->interfaces[0], &manager, nullptr, nullptr, nullptr);
    g_dbus_connection_register_object(
        bus, "/org/freedesktop/resolve1/link/_37", node->interfaces[1], &link, nullptr, nullptr, nullptr);
    g_bus_own_name_on_connection(
        bus, "org.freedesktop.resolve1", G_BUS_NAME_OWNER_FLAGS_NONE, nullptr, nullptr, nullptr, nullptr);
    g_main_loop_run(g_main_loop_new(nullptr, FALSE));
    ::_exit(0);
}

} // namespace

TEST(ResolvedServers, StubOnlyResolverFilesPointAtResolved)
{
    using linuxnet::resolvesThroughStub;
    EXPECT_TRUE(resolvesThroughStub({ "127.0.0.53" }));
    EXPECT_TRUE(resolvesThroughStub({ "127.0.0.53", "127.0.0.54" }));
    EXPECT_FALSE(resolvesThroughStub({}));
    EXPECT_FALSE(resolvesThroughStub({ "127.0.0.53", "192.0.2.53" }));
    EXPECT_FALSE(resolvesThroughStub({ "192.0.2.53" }));
}

TEST(ResolvedServers, AsksResolvedForTheLinksIpv4Servers)
{
    test::TempDir dir;
    const std::string address = "unix:path=" + (dir / "bus").string();
    const test::ProcessResult daemon = test::runProcess(
        { "dbus-daemon", "--session", "--address=" + address, "--fork", "--print-pid", "--nopidfile" });
    ASSERT_EQ(daemon.exitCode, 0) << daemon.err;
    const pid_t daemonPid = static_cast<pid_t>(std::stol(daemon.out));
    // Before any GLib use here: the child must not inherit GLib's threads.
    const pid_t fake = ::fork();
    if (fake == 0)
        serveFakeResolved(address);
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);

    {
        linuxnet::ResolvedServers notRunning(linuxnet::ResolvedServers::Mode::Wait, dir / "no-runtime-dir");
        EXPECT_EQ(notRunning.linkServers(kLink), std::nullopt) << "resolved's folder is missing: not asked";
    }
    linuxnet::ResolvedServers resolved(linuxnet::ResolvedServers::Mode::Wait, dir.path());
    std::optional<std::vector<std::string>> servers;
    for (int i = 0; i < 100 && !servers; ++i) { // until the stand-in owns the name
        servers = resolved.linkServers(kLink);
        if (!servers)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(servers,
        (std::optional<std::vector<std::string>>(std::vector<std::string> { "192.0.2.53", "192.0.2.54" })));
    EXPECT_EQ(resolved.linkServers(kLink + 1), std::nullopt) << "a link resolved does not know";
    EXPECT_EQ(resolved.linkServers(kHangingLink), std::nullopt) << "no answer within the time-out";

    // The refresh's mode: the first call only asks; the answer arrives on the
    // reader's own thread and later calls give it. A link whose answer never
    // comes keeps giving nothing, and the caller never waits for it.
    linuxnet::ResolvedServers background(linuxnet::ResolvedServers::Mode::Background, dir.path());
    EXPECT_EQ(background.linkServers(kLink), std::nullopt) << "nothing read yet: the call did not wait";
    std::optional<std::vector<std::string>> later;
    for (int i = 0; i < 100 && !later; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        later = background.linkServers(kLink);
    }
    EXPECT_EQ(later, servers);
    EXPECT_EQ(background.linkServers(kHangingLink), std::nullopt);
    EXPECT_EQ(background.linkServers(kHangingLink), std::nullopt) << "still asking: the last reading stands";

    ::kill(fake, SIGTERM);
    ::waitpid(fake, nullptr, 0);
    ::kill(daemonPid, SIGTERM);
}
