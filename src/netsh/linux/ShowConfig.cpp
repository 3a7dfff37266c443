#include "netsh/linux/ShowConfig.h"

#include "base/Text.h"
#include "linkstate/LinkState.h"
#include "netlink/linux/Addresses.h"
#include "netlink/linux/Routes.h"

#include <algorithm>

namespace tarnwick::netsh
{

namespace
{

// Pads a label to a display column (a CJK character counts two columns).
std::string field(const std::string& label, const std::string& value)
{
    int width = 0;
    for (std::size_t i = 0; i < label.size(); ++i) {
        const auto c = static_cast<unsigned char>(label[i]);
        if (c < 0x80)
            ++width;
        else if ((c & 0xe0) == 0xe0) // three-byte UTF-8: CJK
            width += 2;
    }
    std::string line = "    " + label;
    for (int w = width; w < 38; ++w)
        line += ' ';
    return line + value + '\n';
}

std::string listField(const std::string& label, const std::vector<std::string>& values)
{
    if (values.empty())
        return field(label, "无");
    std::string out = field(label, values.front());
    for (std::size_t i = 1; i < values.size(); ++i)
        out += std::string(42, ' ') + values[i] + '\n';
    return out;
}

} // namespace

std::string showConfig(netlink::Socket& nl, const netlink::Link& link)
{
    const auto state = readLinkState(link.name);
    ConfigView view;
    view.name = link.name;
    view.addresses = netlink::dumpAddresses(nl, link.index);
    view.dhcp = state
        ? state->dhcp
        : std::any_of(view.addresses.begin(), view.addresses.end(), [](auto& a) { return a.dynamic; });
    view.defaultRoutes = netlink::dumpDefaultRoutes(nl, link.index);
    view.dnsAutomatic = !state || state->dnsAutomatic;
    if (state)
        view.dns = view.dnsAutomatic ? state->dhcpDns : state->staticDns;
    return formatConfig(view);
}

std::string formatConfig(const ConfigView& view)
{
    std::string out = "\n接口 \"" + printable(view.name) + "\" 的配置\n";
    out += field("DHCP 已启用:", view.dhcp ? "是" : "否");
    for (const auto& a : view.addresses) {
        out += field("IP 地址:", formatIpv4(a.address));
        const Ipv4 mask = prefixMask(a.prefix);
        out += field("子网前缀:",
            formatIpv4(Ipv4 { a.address.value & mask.value }) + "/" + std::to_string(a.prefix) + " (掩码 "
                + formatIpv4(mask) + ")");
    }
    for (const auto& r : view.defaultRoutes) {
        out += field("默认网关:", formatIpv4(r.gateway));
        out += field("网关跃点数:", std::to_string(r.metric));
    }
    out += listField(view.dnsAutomatic ? "通过 DHCP 配置的 DNS 服务器:" : "静态配置的 DNS 服务器:", view.dns);
    return out;
}

} // namespace tarnwick::netsh
