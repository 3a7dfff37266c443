#include "netsh/LeaseEvent.h"

#include "netsh/AddressRules.h"

#include <charconv>
#include <set>

namespace tarnwick::netsh
{
namespace
{

std::string get(const std::map<std::string, std::string>& env, const std::string& key)
{
    const auto it = env.find(key);
    return it == env.end() ? std::string() : it->second;
}

std::vector<std::string> words(const std::string& text)
{
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        const auto start = i;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t')
            ++i;
        if (i > start)
            out.push_back(text.substr(start, i - start));
    }
    return out;
}

std::optional<std::uint32_t> unsignedOf(const std::string& text)
{
    std::uint32_t n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return n;
}

int prefixOf(const std::string& mask, const std::string& cidr)
{
    if (const auto n = unsignedOf(cidr); n && *n >= 1 && *n <= 32)
        return static_cast<int>(*n);
    if (const auto m = parseIpv4(mask)) {
        if (const auto p = maskPrefix(*m); p && *p >= 1)
            return *p;
    }
    return 0;
}

} // namespace

LeaseEvent parseLeaseEvent(
    const std::map<std::string, std::string>& env, const std::vector<std::string>& args)
{
    static const std::set<std::string> bound = { "BOUND", "RENEW", "REBIND", "REBOOT", "bound", "renew" };
    static const std::set<std::string> gone = { "EXPIRE", "FAIL", "STOP", "RELEASE", "NAK", "STOPPED",
        "DEPARTED", "NOCARRIER", "deconfig", "nak", "leasefail" };
    LeaseEvent event;
    event.ifname = get(env, "interface");
    const bool udhcpc = !args.empty();
    const std::string reason = udhcpc ? args[0] : get(env, "reason");
    if (bound.count(reason))
        event.kind = LeaseEvent::Kind::Bound;
    else if (gone.count(reason))
        event.kind = LeaseEvent::Kind::Gone;

    const std::string address = get(env, udhcpc ? "ip" : "new_ip_address");
    const std::string mask = get(env, udhcpc ? "subnet" : "new_subnet_mask");
    const std::string routers = get(env, udhcpc ? "router" : "new_routers");
    const std::string dns = get(env, udhcpc ? "dns" : "new_domain_name_servers");
    const std::string lease = get(env, udhcpc ? "lease" : "new_dhcp_lease_time");

    // The server's values are held to the rules of command values: what no
    // host may be given is dropped, as is a lease on its subnet's own network
    // or broadcast address.
    const auto usable = [](const std::string& text, Role role) -> std::optional<Ipv4> {
        const auto ip = parseIpv4(text);
        if (!ip || hasLeadingZero(text) || !unusable(*ip, role).empty())
            return std::nullopt;
        return ip;
    };
    event.address = usable(address, Role::Host);
    event.prefix = prefixOf(mask, udhcpc ? "" : get(env, "new_subnet_cidr"));
    if (event.address && (event.prefix == 0 || event.prefix > 32))
        event.address.reset();
    if (event.address && event.prefix < 31) {
        const std::uint32_t host = event.address->value & ~prefixMask(event.prefix).value;
        if (host == 0 || host == ~prefixMask(event.prefix).value)
            event.address.reset();
    }
    event.leaseSeconds = unsignedOf(lease).value_or(0);
    for (const auto& w : words(routers)) {
        if (const auto ip = usable(w, Role::Gateway); ip && !(event.address && *ip == *event.address))
            event.routers.push_back(*ip);
    }
    for (const auto& w : words(dns)) {
        if (const auto ip = usable(w, Role::Dns))
            event.dns.push_back(formatIpv4(*ip));
    }
    if (!udhcpc) {
        event.oldAddress = parseIpv4(get(env, "old_ip_address"));
        event.oldPrefix = prefixOf(get(env, "old_subnet_mask"), get(env, "old_subnet_cidr"));
        if (event.oldAddress && event.oldPrefix == 0)
            event.oldAddress.reset();
    }
    // A bound event without a usable address is of no use.
    if (event.kind == LeaseEvent::Kind::Bound && !event.address)
        event.kind = LeaseEvent::Kind::Ignore;
    return event;
}

} // namespace tarnwick::netsh
