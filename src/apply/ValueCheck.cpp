#include "apply/ValueCheck.h"

#include "base/Ipv4.h"
#include "base/Text.h"

#include <array>

namespace tarnwick
{

namespace
{

constexpr std::array<const char*, 3> kIpLabels { "IP地址", "IP地址2", "IP地址3" };
constexpr std::array<const char*, 3> kMaskLabels { "子网掩码", "子网掩码2", "子网掩码3" };
constexpr std::array<const char*, 2> kGatewayLabels { "默认网关", "默认网关2" };
constexpr std::array<const char*, 4> kDnsLabels { "首选DNS服务器", "备用DNS服务器", "DNS3", "DNS4" };
constexpr const char* kNothingChanged = "未作任何更改。";

using Role = AddressRole;

std::string named(const std::string& label, const std::string& value)
{
    return label + "“" + value + "”";
}

// Why `text` cannot serve in `role`, or empty when it can; the same rules as
// the bundled netsh, so that no step refuses what the check let through.
std::string addressFault(const std::string& text, Role role)
{
    const auto ip = parseIpv4(text);
    if (!ip)
        return "不是有效的 IPv4 地址：应为四段 0 到 255 的十进制数，如 192.168.0.1";
    if (hasLeadingZero(text))
        return "含有以 0 开头的段，含义不明：请去掉前导 0";
    if (const std::string why = unusableAddress(*ip, role); !why.empty())
        return "不能使用：" + why;
    return {};
}

std::string maskFault(const std::string& text)
{
    const auto mask = parseIpv4(text);
    if (!mask || hasLeadingZero(text))
        return "不是有效的子网掩码：应为四段 0 到 255 的十进制数，如 255.255.255.0";
    const auto prefix = maskPrefix(*mask);
    if (!prefix)
        return "无效：掩码中的 1 位必须连续";
    if (*prefix == 0)
        return "无效：掩码不能为 0.0.0.0";
    return {};
}

std::string refusal(const std::string& label, const std::string& value, const std::string& why)
{
    return named(label, value) + why + "。" + kNothingChanged;
}

} // namespace

std::optional<std::string> refuseValues(const TcpIpConfig& fields)
{
    if (fields.fixedIp) {
        for (std::size_t i = 0; i < 3; ++i) {
            const std::string ip = trimBlanks(fields.ip[i]);
            const std::string mask = trimBlanks(fields.mask[i]);
            if (ip.empty() && mask.empty() && i > 0)
                continue;
            if (ip.empty())
                return std::string(kIpLabels[i]) + "为空"
                    + (i == 0 ? "" : "，" + named(kMaskLabels[i], mask) + "却已填写") + "。"
                    + kNothingChanged;
            if (mask.empty())
                return named(kIpLabels[i], ip) + "已填写，" + kMaskLabels[i] + "却为空。" + kNothingChanged;
            if (const std::string why = addressFault(ip, Role::Host); !why.empty())
                return refusal(kIpLabels[i], ip, why);
            if (const std::string why = maskFault(mask); !why.empty())
                return refusal(kMaskLabels[i], mask, why);
            const int prefix = *maskPrefix(*parseIpv4(mask));
            if (prefix < 31) {
                const std::uint32_t host = parseIpv4(ip)->value & ~prefixMask(prefix).value;
                if (host == 0)
                    return refusal(
                        kIpLabels[i], ip, "是子网掩码 " + mask + " 下的网络地址，不能用作主机地址");
                if (host == ~prefixMask(prefix).value)
                    return refusal(
                        kIpLabels[i], ip, "是子网掩码 " + mask + " 下的广播地址，不能用作主机地址");
            }
        }
        for (std::size_t i = 0; i < 2; ++i) {
            const std::string gw = trimBlanks(fields.gateway[i]);
            if (gw.empty())
                continue;
            if (const std::string why = addressFault(gw, Role::Gateway); !why.empty())
                return refusal(kGatewayLabels[i], gw, why);
        }
    }
    if (fields.fixedDns) {
        // An empty first server is allowed: it leaves the adapter without static ones.
        for (std::size_t i = 0; i < 4; ++i) {
            const std::string dns = trimBlanks(fields.dns[i]);
            if (dns.empty())
                continue;
            if (const std::string why = addressFault(dns, Role::Dns); !why.empty())
                return refusal(kDnsLabels[i], dns, why);
        }
    }
    return std::nullopt;
}

std::vector<std::string> valueNotes(const TcpIpConfig& fields)
{
    std::vector<std::string> notes;
    if (!fields.fixedIp || refuseValues(fields))
        return notes;
    for (std::size_t g = 0; g < 2; ++g) {
        const std::string gw = trimBlanks(fields.gateway[g]);
        if (gw.empty())
            continue;
        const std::uint32_t gateway = parseIpv4(gw)->value;
        bool onLink = false;
        for (std::size_t i = 0; i < 3 && !onLink; ++i) {
            const auto ip = parseIpv4(trimBlanks(fields.ip[i]));
            const auto mask = parseIpv4(trimBlanks(fields.mask[i]));
            if (ip && mask)
                onLink = ((ip->value ^ gateway) & mask->value) == 0;
        }
        if (!onLink)
            notes.push_back("注意：" + named(kGatewayLabels[g], gw) + "不在新地址的子网内，仍照样设置。");
    }
    return notes;
}

} // namespace tarnwick
