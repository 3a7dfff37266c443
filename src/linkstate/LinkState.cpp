#include "linkstate/LinkState.h"

#include "base/Text.h"

#include <charconv>
#include <net/if.h>

namespace tarnwick
{
namespace
{

std::optional<int> parseInt(const std::string& text)
{
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0)
        return std::nullopt;
    return value;
}

std::optional<bool> parseBool(const std::string& text)
{
    if (text == "1")
        return true;
    if (text == "0")
        return false;
    return std::nullopt;
}

} // namespace

bool isValidInterfaceName(const std::string& ifname)
{
    if (ifname.empty() || ifname.size() >= IFNAMSIZ || ifname == "." || ifname == "..")
        return false;
    for (const unsigned char c : ifname) {
        if (c == '/' || c <= ' ' || c == 0x7f || c == ':')
            return false;
    }
    return true;
}

std::string formatLinkState(const LinkState& state)
{
    return "ifindex=" + std::to_string(state.ifindex) + "\ndhcp=" + (state.dhcp ? "1" : "0")
        + "\ndns-automatic=" + (state.dnsAutomatic ? "1" : "0")
        + "\nstatic-dns=" + joinWith(state.staticDns, ',') + "\ndhcp-dns=" + joinWith(state.dhcpDns, ',')
        + "\nlease=" + state.leaseAddress + "\nclient=" + state.client
        + "\nclient-pid=" + std::to_string(state.clientPid) + "\n";
}

std::optional<LinkState> parseLinkState(const std::string& text)
{
    LinkState state;
    for (std::size_t start = 0, end = 0; start < text.size(); start = end + 1) {
        end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        if (line.empty())
            continue;
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            return std::nullopt;
        const std::string key = line.substr(0, eq);
        const std::string value = line.substr(eq + 1);
        if (key == "ifindex" || key == "client-pid") {
            const auto n = parseInt(value);
            if (!n)
                return std::nullopt;
            (key == "ifindex" ? state.ifindex : state.clientPid) = *n;
        } else if (key == "dhcp" || key == "dns-automatic") {
            const auto b = parseBool(value);
            if (!b)
                return std::nullopt;
            (key == "dhcp" ? state.dhcp : state.dnsAutomatic) = *b;
        } else if (key == "static-dns") {
            state.staticDns = splitNonEmpty(value, ',');
        } else if (key == "dhcp-dns") {
            state.dhcpDns = splitNonEmpty(value, ',');
        } else if (key == "lease") {
            state.leaseAddress = value;
        } else if (key == "client") {
            state.client = value;
        }
        // Unknown keys come from a newer writer; keep reading.
    }
    return state;
}

} // namespace tarnwick
