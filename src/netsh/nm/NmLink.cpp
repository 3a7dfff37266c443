#include "netsh/nm/NmLink.h"

#include "base/Ipv4.h"
#include "netlink/linux/Addresses.h"
#include "netlink/linux/Routes.h"
#include "netlink/linux/Socket.h"
#include "netsh/front/Beside.h"
#include "netsh/linux/ShowConfig.h"

#include <gio/gio.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <chrono>
#include <fstream>
#include <map>
#include <net/if.h>
#include <optional>
#include <sstream>
#include <thread>
#include <vector>

namespace tarnwick::netsh::nm
{

namespace
{

constexpr const char* kNm = "org.freedesktop.NetworkManager";
constexpr const char* kNmPath = "/org/freedesktop/NetworkManager";
constexpr const char* kDevice = "org.freedesktop.NetworkManager.Device";
constexpr const char* kActive = "org.freedesktop.NetworkManager.Connection.Active";
constexpr const char* kProfile = "org.freedesktop.NetworkManager.Settings.Connection";
constexpr const char* kOk = "确定。\n";
// Quick questions; a change may wait for polkit to ask the user.
constexpr int kAskMs = 5000;
constexpr int kChangeMs = 60000;
constexpr auto kLeaseWait = std::chrono::seconds(10);
constexpr auto kApplyWait = std::chrono::seconds(5);
// Update2: write the profile to disk, and do not let the change start an
// activation on its own (we apply it ourselves).
constexpr guint32 kToDisk = 0x1;
constexpr guint32 kDeviceActivated = 100;
constexpr guint32 kActiveActivated = 2;
constexpr int kLeasePending = 2;

struct NmFailure {
    std::string message;
    // Set when a refused change could not be put back: what is left of it.
    std::string leftOver {};
};

struct VariantUnref {
    void operator()(GVariant* v) const
    {
        if (v)
            g_variant_unref(v);
    }
};
using Variant = std::unique_ptr<GVariant, VariantUnref>;

// Owns a value just built (a floating reference).
Variant keep(GVariant* v)
{
    return Variant(v ? g_variant_ref_sink(v) : nullptr);
}

std::string errorText(GError* error)
{
    if (!error)
        return "未知错误";
    g_dbus_error_strip_remote_error(error);
    std::string text = error->message;
    g_error_free(error);
    // It is quoted inside a sentence of ours.
    while (!text.empty() && (text.back() == '.' || text.back() == ' '))
        text.pop_back();
    return text;
}

} // namespace

class SystemBus
{
public:
    explicit SystemBus(GDBusConnection* c)
        : m_bus(c)
    {
    }
    ~SystemBus() { g_object_unref(m_bus); }
    SystemBus(const SystemBus&) = delete;
    SystemBus& operator=(const SystemBus&) = delete;

    // A method call; throws NmFailure with the service's own text.
    Variant call(const char* service, const std::string& path, const char* iface, const char* method,
        GVariant* params, const char* replyType, int timeoutMs = kAskMs) const
    {
        GError* error = nullptr;
        GVariant* reply = g_dbus_connection_call_sync(m_bus, service, path.c_str(), iface, method, params,
            replyType ? G_VARIANT_TYPE(replyType) : nullptr,
            // Where NetworkManager's rules ask for a password, the desktop's
            // agent prompts for it, as it does for NetworkManager's applet.
            static_cast<GDBusCallFlags>(
                G_DBUS_CALL_FLAGS_NO_AUTO_START | G_DBUS_CALL_FLAGS_ALLOW_INTERACTIVE_AUTHORIZATION),
            timeoutMs, nullptr, &error);
        if (!reply)
            throw NmFailure { errorText(error) };
        return Variant(reply);
    }

    Variant property(const char* service, const std::string& path, const char* iface, const char* name) const
    {
        const Variant reply = call(service, path, "org.freedesktop.DBus.Properties", "Get",
            g_variant_new("(ss)", iface, name), "(v)");
        const Variant boxed(g_variant_get_child_value(reply.get(), 0));
        return Variant(g_variant_get_variant(boxed.get()));
    }

    bool hasOwner(const char* name) const
    {
        try {
            const Variant r = call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                "NameHasOwner", g_variant_new("(s)", name), "(b)");
            gboolean owned = FALSE;
            g_variant_get(r.get(), "(b)", &owned);
            return owned;
        } catch (const NmFailure&) {
            return false;
        }
    }

private:
    GDBusConnection* m_bus;
};

namespace
{

std::string stringOf(const Variant& v)
{
    return v && g_variant_is_of_type(v.get(), G_VARIANT_TYPE_STRING) ? g_variant_get_string(v.get(), nullptr)
                                                                     : std::string();
}

std::string objectPathOf(const Variant& v)
{
    return v && g_variant_is_of_type(v.get(), G_VARIANT_TYPE_OBJECT_PATH)
        ? g_variant_get_string(v.get(), nullptr)
        : std::string("/");
}

// A profile as NetworkManager hands it over: setting name → key → value.
using Setting = std::map<std::string, Variant>;
using Profile = std::map<std::string, Setting>;

Profile readProfile(GVariant* dict)
{
    Profile profile;
    GVariantIter outer;
    g_variant_iter_init(&outer, dict);
    const char* name = nullptr;
    GVariant* inner = nullptr;
    while (g_variant_iter_next(&outer, "{&s@a{sv}}", &name, &inner)) {
        Setting& setting = profile[name];
        GVariantIter it;
        g_variant_iter_init(&it, inner);
        const char* key = nullptr;
        GVariant* value = nullptr;
        while (g_variant_iter_next(&it, "{&sv}", &key, &value))
            setting[key] = Variant(value);
        g_variant_unref(inner);
    }
    return profile;
}

GVariant* buildProfile(const Profile& profile)
{
    GVariantBuilder outer;
    g_variant_builder_init(&outer, G_VARIANT_TYPE("a{sa{sv}}"));
    for (const auto& [name, setting] : profile) {
        GVariantBuilder inner;
        g_variant_builder_init(&inner, G_VARIANT_TYPE("a{sv}"));
        for (const auto& [key, value] : setting)
            g_variant_builder_add(&inner, "{sv}", key.c_str(), value.get());
        g_variant_builder_add(&outer, "{sa{sv}}", name.c_str(), &inner);
    }
    return g_variant_builder_end(&outer);
}

// What a command changes of the ipv4 setting.
struct Ipv4Setting {
    std::string method;
    std::vector<netlink::Address> addresses;
    std::vector<netlink::DefaultRoute> gateways;
    std::vector<Variant> otherRoutes; // kept as they are
    std::vector<Ipv4> dns;
    bool ignoreAutoDns = false;
    // ipv4.gateway (at the profile's route metric) stays until a command
    // replaces every default route.
    bool keepProfileGateway = true;
};

std::optional<Ipv4> dictAddress(GVariant* dict, const char* key)
{
    const char* text = nullptr;
    if (!g_variant_lookup(dict, key, "&s", &text))
        return std::nullopt;
    return parseIpv4(text);
}

Ipv4Setting readIpv4(const Setting& s)
{
    Ipv4Setting ip;
    if (auto it = s.find("method"); it != s.end())
        ip.method = stringOf(it->second);
    if (auto it = s.find("address-data"); it != s.end()) {
        const auto n = g_variant_n_children(it->second.get());
        for (gsize i = 0; i < n; ++i) {
            const Variant d(g_variant_get_child_value(it->second.get(), i));
            guint32 prefix = 0;
            const auto a = dictAddress(d.get(), "address");
            if (a && g_variant_lookup(d.get(), "prefix", "u", &prefix))
                ip.addresses.push_back(netlink::Address { *a, static_cast<int>(prefix), false });
        }
    }
    if (auto it = s.find("route-data"); it != s.end()) {
        const auto n = g_variant_n_children(it->second.get());
        for (gsize i = 0; i < n; ++i) {
            Variant d(g_variant_get_child_value(it->second.get(), i));
            guint32 prefix = 32;
            g_variant_lookup(d.get(), "prefix", "u", &prefix);
            const auto dest = dictAddress(d.get(), "dest");
            const auto hop = dictAddress(d.get(), "next-hop");
            guint32 metric = 0;
            g_variant_lookup(d.get(), "metric", "u", &metric);
            if (prefix == 0 && dest && dest->value == 0 && hop)
                ip.gateways.push_back(netlink::DefaultRoute { *hop, static_cast<int>(metric) });
            else
                ip.otherRoutes.push_back(std::move(d));
        }
    }
    if (auto it = s.find("dns");
        it != s.end() && g_variant_is_of_type(it->second.get(), G_VARIANT_TYPE("au"))) {
        gsize n = 0;
        const auto* raw
            = static_cast<const guint32*>(g_variant_get_fixed_array(it->second.get(), &n, sizeof(guint32)));
        for (gsize i = 0; i < n; ++i)
            ip.dns.push_back(Ipv4 { ntohl(raw[i]) });
    }
    if (auto it = s.find("ignore-auto-dns"); it != s.end())
        ip.ignoreAutoDns = g_variant_get_boolean(it->second.get());
    return ip;
}

void writeIpv4(Setting& s, const Ipv4Setting& ip)
{
    // The older keys would say the same twice; NetworkManager reads the -data ones.
    s.erase("addresses");
    s.erase("routes");
    if (!ip.keepProfileGateway)
        s.erase("gateway");
    s["method"] = keep(g_variant_new_string(ip.method.c_str()));
    GVariantBuilder addresses;
    g_variant_builder_init(&addresses, G_VARIANT_TYPE("aa{sv}"));
    for (const auto& a : ip.addresses) {
        GVariantBuilder d;
        g_variant_builder_init(&d, G_VARIANT_TYPE("a{sv}"));
        g_variant_builder_add(&d, "{sv}", "address", g_variant_new_string(formatIpv4(a.address).c_str()));
        g_variant_builder_add(&d, "{sv}", "prefix", g_variant_new_uint32(static_cast<guint32>(a.prefix)));
        g_variant_builder_add(&addresses, "a{sv}", &d);
    }
    s["address-data"] = keep(g_variant_builder_end(&addresses));
    GVariantBuilder routes;
    g_variant_builder_init(&routes, G_VARIANT_TYPE("aa{sv}"));
    for (const auto& r : ip.otherRoutes)
        g_variant_builder_add_value(&routes, r.get());
    for (const auto& g : ip.gateways) {
        GVariantBuilder d;
        g_variant_builder_init(&d, G_VARIANT_TYPE("a{sv}"));
        g_variant_builder_add(&d, "{sv}", "dest", g_variant_new_string("0.0.0.0"));
        g_variant_builder_add(&d, "{sv}", "prefix", g_variant_new_uint32(0));
        g_variant_builder_add(&d, "{sv}", "next-hop", g_variant_new_string(formatIpv4(g.gateway).c_str()));
        g_variant_builder_add(&d, "{sv}", "metric", g_variant_new_uint32(static_cast<guint32>(g.metric)));
        g_variant_builder_add(&routes, "a{sv}", &d);
    }
    s["route-data"] = keep(g_variant_builder_end(&routes));
    std::vector<guint32> raw;
    for (const auto& d : ip.dns)
        raw.push_back(htonl(d.value));
    s["dns"]
        = keep(g_variant_new_fixed_array(G_VARIANT_TYPE_UINT32, raw.data(), raw.size(), sizeof(guint32)));
    s["ignore-auto-dns"] = keep(g_variant_new_boolean(ip.ignoreAutoDns));
}

void replaceGateways(Ipv4Setting& ip, const Command& cmd)
{
    ip.gateways.clear();
    ip.keepProfileGateway = false;
    if (cmd.gateway)
        ip.gateways.push_back(netlink::DefaultRoute { *cmd.gateway, cmd.metric });
}

// The command's change of the profile's ipv4 setting.
void change(Ipv4Setting& ip, const Command& cmd)
{
    switch (cmd.verb) {
    case Verb::SetAddressStatic:
        ip.method = "manual";
        ip.addresses = { netlink::Address { *cmd.address, cmd.prefix, false } };
        replaceGateways(ip, cmd);
        break;
    case Verb::SetAddressDhcp:
        ip.method = "auto";
        ip.addresses.clear();
        ip.gateways.clear();
        ip.keepProfileGateway = false;
        break;
    case Verb::AddAddress: {
        const netlink::Address a { *cmd.address, cmd.prefix, false };
        if (std::find(ip.addresses.begin(), ip.addresses.end(), a) == ip.addresses.end())
            ip.addresses.push_back(a);
        break;
    }
    case Verb::SetGateway:
        replaceGateways(ip, cmd);
        break;
    case Verb::AddGateway: {
        auto& g = ip.gateways;
        g.erase(std::remove_if(g.begin(), g.end(),
                    [&](auto& r) { return r.gateway == *cmd.gateway && r.metric == cmd.metric; }),
            g.end());
        g.push_back(netlink::DefaultRoute { *cmd.gateway, cmd.metric });
        break;
    }
    case Verb::SetDnsDhcp:
        ip.ignoreAutoDns = false;
        ip.dns.clear();
        break;
    case Verb::SetDnsStatic:
        ip.ignoreAutoDns = true;
        ip.dns.clear();
        if (cmd.dns)
            ip.dns.push_back(*cmd.dns);
        break;
    case Verb::AddDns: {
        if (!ip.ignoreAutoDns)
            ip.dns.clear();
        ip.ignoreAutoDns = true;
        auto& list = ip.dns;
        list.erase(std::remove(list.begin(), list.end(), *cmd.dns), list.end());
        const auto at = cmd.index == 0 ? list.size() : std::min<std::size_t>(cmd.index - 1, list.size());
        list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), *cmd.dns);
        break;
    }
    case Verb::ShowConfig:
        break;
    }
}

class NmLink
{
public:
    NmLink(const SystemBus& bus, std::string device, std::string active, std::string ifname)
        : m_bus(bus)
        , m_device(std::move(device))
        , m_active(std::move(active))
        , m_ifname(std::move(ifname))
    {
    }

    RunResult run(const Command& cmd)
    {
        if (cmd.verb == Verb::ShowConfig)
            return RunResult { 0, show(), {} };
        const std::string profilePath = activeProfile();
        const Variant oldDict = m_bus.call(kNm, profilePath, kProfile, "GetSettings", nullptr, "(a{sa{sv}})");
        const Variant oldSettings(g_variant_get_child_value(oldDict.get(), 0));
        Profile profile = readProfile(oldSettings.get());
        Ipv4Setting ip = readIpv4(profile["ipv4"]);
        const bool leaseDnsBack = ip.ignoreAutoDns && ip.method == "auto";
        change(ip, cmd);
        writeIpv4(profile["ipv4"], ip);
        // NetworkManager 1.42 keeps a running lease's servers filtered out
        // when a reapply turns them on again: only a new activation takes them.
        const bool activate = leaseDnsBack && !ip.ignoreAutoDns && ip.method == "auto";
        // Refused here (polkit, a setting NetworkManager rejects), nothing changed.
        const auto addressesBefore = kernelAddresses();
        update(profilePath, buildProfile(profile));
        try {
            apply(profilePath, activate);
        } catch (const NmFailure& f) {
            throw putBack(profilePath, oldSettings.get(), addressesBefore, f);
        }
        if (activate)
            waitForLease();
        if (cmd.verb == Verb::SetAddressDhcp && !waitForLease())
            return RunResult { kLeasePending, "10 秒内未获得 DHCP 租约，DHCP 客户端继续在后台尝试。\n", {} };
        if (cmd.verb == Verb::SetAddressStatic || cmd.verb == Verb::AddAddress)
            waitForAddress(netlink::Address { *cmd.address, cmd.prefix, false });
        // NetworkManager hands the servers on after the reapply has returned.
        if (ip.ignoreAutoDns)
            waitUntil(kApplyWait, [&] { return nameservers() == ip.dns; });
        else if (ip.method == "auto")
            waitUntil(kApplyWait, [&] {
                const auto inForce = nameservers();
                const auto leased = leaseNameservers();
                return std::all_of(leased.begin(), leased.end(), [&](const Ipv4& a) {
                    return std::find(inForce.begin(), inForce.end(), a) != inForce.end();
                });
            });
        return RunResult { 0, kOk, {} };
    }

private:
    // The profile as it was, applied as it was; what could not be put back is
    // said, never passed off as "nothing changed".
    NmFailure putBack(const std::string& profilePath, GVariant* oldSettings,
        const std::vector<netlink::Address>& addressesBefore, const NmFailure& failure) const
    {
        NmFailure result = failure;
        try {
            update(profilePath, oldSettings);
        } catch (const NmFailure& back) {
            result.leftOver = "连接配置未能恢复原样（" + back.message + "）";
        }
        try {
            apply(profilePath, false);
        } catch (const NmFailure&) {
            // Refused too where the change itself was: the link is checked below.
        }
        if (kernelAddresses() != addressesBefore)
            result.leftOver += std::string(result.leftOver.empty() ? "" : "，") + "接口的地址已与更改前不同";
        return result;
    }

    std::string activeProfile() const
    {
        if (m_active == "/")
            throw NmFailure { "接口“" + m_ifname + "”没有已激活的连接" };
        return objectPathOf(m_bus.property(kNm, m_active, kActive, "Connection"));
    }

    void update(const std::string& profilePath, GVariant* settings) const
    {
        GVariantBuilder args;
        g_variant_builder_init(&args, G_VARIANT_TYPE("a{sv}"));
        m_bus.call(kNm, profilePath, kProfile, "Update2",
            g_variant_new("(@a{sa{sv}}u@a{sv})", settings, kToDisk, g_variant_builder_end(&args)), "(a{sv})",
            kChangeMs);
    }

    // Without taking the link down where NetworkManager can; else the profile
    // is activated again.
    void apply(const std::string& profilePath, bool activate) const
    {
        if (!activate) {
            GVariantBuilder empty;
            g_variant_builder_init(&empty, G_VARIANT_TYPE("a{sa{sv}}"));
            try {
                m_bus.call(kNm, m_device, kDevice, "Reapply",
                    g_variant_new(
                        "(@a{sa{sv}}tu)", g_variant_builder_end(&empty), guint64 { 0 }, guint32 { 0 }),
                    nullptr, kChangeMs);
                return;
            } catch (const NmFailure&) {
                // A change NetworkManager cannot reapply: activated again below.
            }
        }
        const Variant reply = m_bus.call(kNm, kNmPath, kNm, "ActivateConnection",
            g_variant_new("(ooo)", profilePath.c_str(), m_device.c_str(), "/"), "(o)", kChangeMs);
        const Variant path(g_variant_get_child_value(reply.get(), 0));
        const std::string active = g_variant_get_string(path.get(), nullptr);
        // Done once the new activation is; one that fails ends its object.
        waitUntil(kLeaseWait, [&] {
            try {
                const Variant state = m_bus.property(kNm, active, kActive, "State");
                return g_variant_get_uint32(state.get()) >= kActiveActivated;
            } catch (const NmFailure&) {
                return true;
            }
        });
    }

    template <typename Done> bool waitUntil(std::chrono::steady_clock::duration limit, Done done) const
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            if (done())
                return true;
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    std::vector<netlink::Address> kernelAddresses() const
    {
        netlink::Socket nl;
        return netlink::dumpAddresses(nl, static_cast<int>(::if_nametoindex(m_ifname.c_str())));
    }

    bool activated() const
    {
        const Variant state = m_bus.property(kNm, m_device, kDevice, "State");
        return g_variant_get_uint32(state.get()) == kDeviceActivated;
    }

    // The lease counts once NetworkManager has taken it (its DHCP options
    // published and its address in NetworkManager's view), not when the
    // kernel first has the address: a change in between loses the lease's
    // DNS servers.
    bool waitForLease() const
    {
        return waitUntil(kLeaseWait, [&] {
            if (!activated())
                return false;
            const std::string dhcp = objectPathOf(m_bus.property(kNm, m_device, kDevice, "Dhcp4Config"));
            const std::string config = objectPathOf(m_bus.property(kNm, m_device, kDevice, "Ip4Config"));
            if (dhcp == "/" || config == "/")
                return false;
            const Variant options
                = m_bus.property(kNm, dhcp, "org.freedesktop.NetworkManager.DHCP4Config", "Options");
            const char* leased = nullptr;
            if (!g_variant_lookup(options.get(), "ip_address", "&s", &leased))
                return false;
            const Variant addresses
                = m_bus.property(kNm, config, "org.freedesktop.NetworkManager.IP4Config", "AddressData");
            const auto n = g_variant_n_children(addresses.get());
            for (gsize i = 0; i < n; ++i) {
                const Variant d(g_variant_get_child_value(addresses.get(), i));
                const char* a = nullptr;
                if (g_variant_lookup(d.get(), "address", "&s", &a) && std::string(a) == leased)
                    return true;
            }
            return false;
        });
    }

    void waitForAddress(const netlink::Address& wanted) const
    {
        waitUntil(kApplyWait, [&] {
            for (const auto& a : kernelAddresses()) {
                if (a.address == wanted.address && a.prefix == wanted.prefix)
                    return true;
            }
            return false;
        });
    }

    // The servers NetworkManager has in force on the link.
    std::vector<Ipv4> nameservers() const
    {
        std::vector<Ipv4> servers;
        const std::string config = objectPathOf(m_bus.property(kNm, m_device, kDevice, "Ip4Config"));
        if (config == "/")
            return servers;
        const Variant data
            = m_bus.property(kNm, config, "org.freedesktop.NetworkManager.IP4Config", "NameserverData");
        const auto n = g_variant_n_children(data.get());
        for (gsize i = 0; i < n; ++i) {
            const Variant d(g_variant_get_child_value(data.get(), i));
            if (const auto a = dictAddress(d.get(), "address"))
                servers.push_back(*a);
        }
        return servers;
    }

    // The servers the lease offers, from its options.
    std::vector<Ipv4> leaseNameservers() const
    {
        std::vector<Ipv4> servers;
        const std::string dhcp = objectPathOf(m_bus.property(kNm, m_device, kDevice, "Dhcp4Config"));
        if (dhcp == "/")
            return servers;
        const Variant options
            = m_bus.property(kNm, dhcp, "org.freedesktop.NetworkManager.DHCP4Config", "Options");
        const char* text = nullptr;
        if (!g_variant_lookup(options.get(), "domain_name_servers", "&s", &text))
            return servers;
        std::istringstream in(text);
        std::string word;
        while (in >> word) {
            if (const auto a = parseIpv4(word))
                servers.push_back(*a);
        }
        return servers;
    }

    // What NetworkManager applied: its method and DNS choice, the kernel's
    // addresses and default routes, the servers NetworkManager put in force.
    std::string show() const
    {
        ConfigView view;
        view.name = m_ifname;
        const Variant applied = m_bus.call(
            kNm, m_device, kDevice, "GetAppliedConnection", g_variant_new("(u)", 0u), "(a{sa{sv}}t)");
        const Variant dict(g_variant_get_child_value(applied.get(), 0));
        Profile profile = readProfile(dict.get());
        const Ipv4Setting ip = readIpv4(profile["ipv4"]);
        view.dhcp = ip.method == "auto";
        netlink::Socket nl;
        const int index = static_cast<int>(::if_nametoindex(m_ifname.c_str()));
        view.addresses = netlink::dumpAddresses(nl, index);
        view.defaultRoutes = netlink::dumpDefaultRoutes(nl, index);
        view.dnsAutomatic = !ip.ignoreAutoDns;
        if (ip.ignoreAutoDns) {
            for (const auto& d : ip.dns)
                view.dns.push_back(formatIpv4(d));
        } else {
            for (const auto& d : nameservers())
                view.dns.push_back(formatIpv4(d));
        }
        return formatConfig(view) + "\n";
    }

    const SystemBus& m_bus;
    std::string m_device;
    std::string m_active; // the device's active connection when asked
    std::string m_ifname;
};

bool sameHardwareAddress(const std::string& ifname, const std::string& nmAddress)
{
    std::ifstream in("/sys/class/net/" + ifname + "/address");
    std::string mine;
    std::getline(in, mine);
    auto lower = [](std::string t) {
        std::transform(t.begin(), t.end(), t.begin(), [](unsigned char c) { return std::tolower(c); });
        return t;
    };
    return !mine.empty() && lower(mine) == lower(nmAddress);
}

// systemd-networkd: a link it has a configuration for.
bool networkdManages(const SystemBus& bus, const std::string& ifname)
{
    try {
        const Variant link = bus.call("org.freedesktop.network1", "/org/freedesktop/network1",
            "org.freedesktop.network1.Manager", "GetLinkByName", g_variant_new("(s)", ifname.c_str()),
            "(io)");
        const Variant path(g_variant_get_child_value(link.get(), 1));
        const std::string state
            = stringOf(bus.property("org.freedesktop.network1", g_variant_get_string(path.get(), nullptr),
                "org.freedesktop.network1.Link", "AdministrativeState"));
        return !state.empty() && state != "unmanaged";
    } catch (const NmFailure&) {
        return false;
    }
}

// ConnMan: a service of its own on the link.
bool connmanManages(const SystemBus& bus, const std::string& ifname)
{
    try {
        const Variant reply
            = bus.call("net.connman", "/", "net.connman.Manager", "GetServices", nullptr, "(a(oa{sv}))");
        const Variant services(g_variant_get_child_value(reply.get(), 0));
        const auto n = g_variant_n_children(services.get());
        for (gsize i = 0; i < n; ++i) {
            const Variant service(g_variant_get_child_value(services.get(), i));
            const Variant props(g_variant_get_child_value(service.get(), 1));
            GVariant* ethernet = g_variant_lookup_value(props.get(), "Ethernet", G_VARIANT_TYPE("a{sv}"));
            if (!ethernet)
                continue;
            const char* name = nullptr;
            const bool same = g_variant_lookup(ethernet, "Interface", "&s", &name) && ifname == name;
            g_variant_unref(ethernet);
            if (same)
                return true;
        }
    } catch (const NmFailure&) {
    }
    return false;
}

} // namespace

LinkManager findLinkManager(const std::string& ifname)
{
    LinkManager found;
    if (ifname.empty() || !systemBusSocketExists())
        return found;
    GError* error = nullptr;
    GDBusConnection* c = g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, &error);
    if (!c) {
        g_clear_error(&error);
        return found;
    }
    g_dbus_connection_set_exit_on_close(c, FALSE);
    found.bus = std::make_shared<SystemBus>(c);
    const SystemBus& bus = *found.bus;
    // Without NetworkManager on the bus the first call fails at once (no
    // activation is asked for).
    try {
        const Variant reply
            = bus.call(kNm, kNmPath, kNm, "GetDeviceByIpIface", g_variant_new("(s)", ifname.c_str()), "(o)");
        const Variant path(g_variant_get_child_value(reply.get(), 0));
        const std::string device = g_variant_get_string(path.get(), nullptr);
        const Variant all = bus.call(kNm, device, "org.freedesktop.DBus.Properties", "GetAll",
            g_variant_new("(s)", kDevice), "(a{sv})");
        const Variant props(g_variant_get_child_value(all.get(), 0));
        const char* hw = "";
        gboolean managed = FALSE;
        const char* active = "/";
        g_variant_lookup(props.get(), "HwAddress", "&s", &hw);
        g_variant_lookup(props.get(), "Managed", "b", &managed);
        g_variant_lookup(props.get(), "ActiveConnection", "&o", &active);
        // A NetworkManager of another network namespace may know a link of
        // the same name: the hardware address tells them apart.
        if (!sameHardwareAddress(ifname, hw))
            return found;
        if (managed) {
            found.kind = LinkManager::Kind::NetworkManager;
            found.devicePath = device;
            found.activeConnection = active;
            return found;
        }
    } catch (const NmFailure&) {
        // No NetworkManager, or a link it does not know.
    }
    if (bus.hasOwner("org.freedesktop.network1") && networkdManages(bus, ifname)) {
        found.kind = LinkManager::Kind::Other;
        found.otherName = "systemd-networkd";
    } else if (bus.hasOwner("net.connman") && connmanManages(bus, ifname)) {
        found.kind = LinkManager::Kind::Other;
        found.otherName = "ConnMan";
    }
    return found;
}

RunResult runThroughNetworkManager(const Command& command, const LinkManager& manager)
{
    try {
        return NmLink(*manager.bus, manager.devicePath, manager.activeConnection, command.name).run(command);
    } catch (const NmFailure& f) {
        if (!f.leftOver.empty())
            return RunResult { 1, {},
                "NetworkManager 未能完成更改：" + f.message + "；" + f.leftOver + "。\n" };
        return RunResult { 1, {}, "NetworkManager 未能完成更改：" + f.message + "，未作任何更改。\n" };
    }
}

RunResult refuseOtherManager(const Command& command, const LinkManager& manager)
{
    return RunResult { 1, {},
        "接口“" + command.name + "”由 " + manager.otherName + " 管理，netsh 不更改它，未作任何更改。\n" };
}

} // namespace tarnwick::netsh::nm
