#include "netsh/CommandParser.h"

#include "base/Text.h"
#include "netsh/AddressRules.h"

#include <charconv>
#include <map>
#include <set>

namespace tarnwick::netsh
{
namespace
{

std::string lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

// A value as it may appear inside a one-line message: control bytes escaped.
std::string shown(std::string_view text)
{
    return printable(text);
}

// Inside the parser a bad argument is thrown; parseCommand hands it back as a value.
[[noreturn]] void usageError(const std::string& message)
{
    throw ParseError { message, true };
}
[[noreturn]] void valueError(const std::string& message)
{
    throw ParseError { message, false };
}

struct Pairs {
    std::map<std::string, std::string> values; // lower-case key -> value as given
};

// Reads key=value arguments; every key must be in `allowed`, at most once.
Pairs readPairs(const std::vector<std::string>& args, std::size_t from, const std::set<std::string>& allowed)
{
    Pairs pairs;
    for (std::size_t i = from; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const auto eq = arg.find('=');
        const std::string key = lower(arg.substr(0, eq));
        if (eq == std::string::npos || !allowed.count(key))
            usageError("不认识的参数“" + shown(arg) + "”。");
        if (!pairs.values.emplace(key, arg.substr(eq + 1)).second)
            usageError("参数 " + key + " 重复出现。");
    }
    return pairs;
}

bool has(const Pairs& p, const std::string& key)
{
    return p.values.count(key) != 0;
}

std::string required(const Pairs& p, const std::string& key)
{
    const auto it = p.values.find(key);
    if (it == p.values.end())
        usageError("缺少参数 " + key + "。");
    if (it->second.empty())
        valueError("参数 " + key + " 缺少值。");
    return it->second;
}

void checkName(const std::string& name)
{
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || u < 0x20 || u == 0x7f)
            valueError("接口名称“" + shown(name) + "”含有双引号、换行符或其他控制字符，不能使用。");
    }
    // A DHCP client would read such a name as one of its options.
    if (!name.empty() && name.front() == '-')
        valueError("接口名称“" + shown(name) + "”以“-”开头，不能使用。");
    if (lower(name) == "lo")
        valueError("接口“" + shown(name) + "”是本机回环接口，不能更改。");
}

Ipv4 address(const Pairs& p, const std::string& key, Role role)
{
    const std::string value = required(p, key);
    const auto ip = parseIpv4(value);
    if (!ip)
        valueError("参数 " + key + " 的值“" + shown(value)
            + "”不是有效的 IPv4 地址：应为四段 0 到 255 的十进制数，如 192.168.0.1。");
    if (hasLeadingZero(value))
        valueError("参数 " + key + " 的值“" + shown(value)
            + "”含有以 0 开头的段，含义不明（有的程序按八进制读）：请去掉前导 0。");
    if (const std::string why = unusable(*ip, role); !why.empty())
        valueError("参数 " + key + " 的值“" + shown(value) + "”不能使用：" + why + "。");
    return *ip;
}

// An interface address must not be its subnet's own network or broadcast
// address (for masks shorter than /31, where those exist).
void checkInSubnet(Ipv4 ip, int prefix)
{
    if (prefix >= 31)
        return;
    const std::uint32_t host = ip.value & ~prefixMask(prefix).value;
    if (host == 0)
        valueError("地址 " + formatIpv4(ip) + " 是子网 " + formatIpv4(ip) + "/" + std::to_string(prefix)
            + " 的网络地址，不能用作主机地址。");
    if (host == ~prefixMask(prefix).value)
        valueError("地址 " + formatIpv4(ip) + " 是其子网的广播地址，不能用作主机地址。");
}

int maskOf(const Pairs& p)
{
    const std::string value = required(p, "mask");
    const auto ip = parseIpv4(value);
    if (!ip)
        valueError("子网掩码“" + shown(value) + "”不是有效的点分四段数：每段应为 0 到 255。");
    const auto prefix = maskPrefix(*ip);
    if (!prefix)
        valueError("子网掩码“" + shown(value) + "”无效：掩码中的 1 位必须连续。");
    if (*prefix == 0)
        valueError("子网掩码“" + shown(value) + "”无效：掩码不能为 0.0.0.0。");
    return *prefix;
}

int number(const Pairs& p, const std::string& key, int max)
{
    const std::string value = required(p, key);
    int n = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
    if (ec != std::errc() || end != value.data() + value.size() || n < 1 || n > max)
        valueError("参数 " + key + " 的值“" + shown(value) + "”无效：应为 1 到 " + std::to_string(max)
            + " 的整数。");
    return n;
}

Command withName(const Pairs& p, Command cmd)
{
    const auto name = required(p, "name");
    checkName(name);
    cmd.name = name;
    return cmd;
}

Command setAddress(const Pairs& p)
{
    Command cmd;
    const bool hasGateway = has(p, "gateway") || has(p, "gwmetric");
    if (has(p, "source")) {
        const std::string source = lower(p.values.at("source"));
        if (source == "dhcp") {
            if (has(p, "addr") || has(p, "mask") || hasGateway)
                usageError("source=dhcp 不能与 addr、mask、gateway 或 gwmetric 同用。");
            cmd.verb = Verb::SetAddressDhcp;
            return withName(p, cmd);
        }
        if (source != "static")
            valueError("参数 source 的值“" + shown(p.values.at("source")) + "”无效：应为 dhcp 或 static。");
        cmd.verb = Verb::SetAddressStatic;
        const auto addr = address(p, "addr", Role::Host);
        const auto prefix = maskOf(p);
        checkInSubnet(addr, prefix);
        cmd.address = addr;
        cmd.prefix = prefix;
        if (hasGateway) {
            const auto gateway = address(p, "gateway", Role::Gateway);
            const auto metric = number(p, "gwmetric", kMaxMetric);
            if (gateway == addr)
                valueError("网关 " + formatIpv4(gateway) + " 就是接口自己的地址，不能用作网关。");
            cmd.gateway = gateway;
            cmd.metric = metric;
        }
        return withName(p, cmd);
    }
    if (has(p, "addr") || has(p, "mask"))
        usageError("设置地址时缺少参数 source。");
    cmd.verb = Verb::SetGateway;
    const auto gateway = address(p, "gateway", Role::Gateway);
    const auto metric = number(p, "gwmetric", kMaxMetric);
    cmd.gateway = gateway;
    cmd.metric = metric;
    return withName(p, cmd);
}

Command addAddress(const Pairs& p)
{
    Command cmd;
    const bool hasAddress = has(p, "addr") || has(p, "mask");
    const bool hasGateway = has(p, "gateway") || has(p, "gwmetric");
    if (hasAddress == hasGateway)
        usageError("add address 需要 addr 和 mask，或者 gateway 和 gwmetric（二者取其一）。");
    if (hasAddress) {
        cmd.verb = Verb::AddAddress;
        const auto addr = address(p, "addr", Role::Host);
        const auto prefix = maskOf(p);
        checkInSubnet(addr, prefix);
        cmd.address = addr;
        cmd.prefix = prefix;
    } else {
        cmd.verb = Verb::AddGateway;
        const auto gateway = address(p, "gateway", Role::Gateway);
        const auto metric = number(p, "gwmetric", kMaxMetric);
        cmd.gateway = gateway;
        cmd.metric = metric;
    }
    return withName(p, cmd);
}

Command setDns(const Pairs& p)
{
    Command cmd;
    const auto sourceText = required(p, "source");
    const std::string source = lower(sourceText);
    if (source == "dhcp") {
        if (has(p, "addr"))
            usageError("source=dhcp 不能与 addr 同用。");
        cmd.verb = Verb::SetDnsDhcp;
        return withName(p, cmd);
    }
    if (source != "static")
        valueError("参数 source 的值“" + shown(sourceText) + "”无效：应为 dhcp 或 static。");
    cmd.verb = Verb::SetDnsStatic;
    if (!has(p, "addr"))
        usageError("缺少参数 addr。");
    const std::string& value = p.values.at("addr");
    // An empty address or "none" leaves the link without static servers.
    if (!value.empty() && lower(value) != "none") {
        const auto dns = address(p, "addr", Role::Dns);
        cmd.dns = dns;
    }
    return withName(p, cmd);
}

Command addDns(const Pairs& p)
{
    Command cmd;
    cmd.verb = Verb::AddDns;
    const auto dns = address(p, "addr", Role::Dns);
    cmd.dns = dns;
    if (has(p, "index")) {
        const auto index = number(p, "index", kMaxDnsIndex);
        cmd.index = index;
    }
    return withName(p, cmd);
}

Command parse(const std::vector<std::string>& args)
{
    if (args.size() < 4 || lower(args[0]) != "interface"
        || (lower(args[1]) != "ip" && lower(args[1]) != "ipv4")) {
        std::string joined;
        for (const auto& a : args)
            joined += (joined.empty() ? "" : " ") + a;
        usageError(args.empty() ? "缺少命令。" : "不认识的命令“" + shown(joined) + "”。");
    }
    const std::string action = lower(args[2]);
    const std::string object = lower(args[3]);
    if (action == "show" && object == "config") {
        Command cmd;
        cmd.verb = Verb::ShowConfig;
        // The interface may be given bare, as netsh allows.
        if (args.size() == 5 && args[4].find('=') == std::string::npos) {
            checkName(args[4]);
            cmd.name = args[4];
            return cmd;
        }
        const Pairs p = readPairs(args, 4, { "name" });
        return has(p, "name") ? withName(p, cmd) : cmd;
    }
    std::set<std::string> allowed;
    if (object == "address" && action == "set")
        allowed = { "name", "source", "addr", "mask", "gateway", "gwmetric" };
    else if (object == "address" && action == "add")
        allowed = { "name", "addr", "mask", "gateway", "gwmetric" };
    else if (object == "dns" && action == "set")
        allowed = { "name", "source", "addr" };
    else if (object == "dns" && action == "add")
        allowed = { "name", "addr", "index" };
    else
        usageError("不认识的命令“" + shown(args[2]) + " " + shown(args[3]) + "”。");
    const Pairs p = readPairs(args, 4, allowed);
    if (object == "address")
        return action == "set" ? setAddress(p) : addAddress(p);
    return action == "set" ? setDns(p) : addDns(p);
}

} // namespace

const char* usageText()
{
    return "用法：\n"
           "  netsh interface ip set address name=接口 source=dhcp\n"
           "  netsh interface ip set address name=接口 source=static addr=地址 mask=掩码 [gateway=网关 "
           "gwmetric=跃点数]\n"
           "  netsh interface ip set address name=接口 gateway=网关 gwmetric=跃点数\n"
           "  netsh interface ip add address name=接口 addr=地址 mask=掩码\n"
           "  netsh interface ip add address name=接口 gateway=网关 gwmetric=跃点数\n"
           "  netsh interface ip set dns name=接口 source=dhcp\n"
           "  netsh interface ip set dns name=接口 source=static addr=地址|none\n"
           "  netsh interface ip add dns name=接口 addr=地址 [index=位置]\n"
           "  netsh interface ip show config [name=接口]\n";
}

ParseResult parseCommand(const std::vector<std::string>& args)
{
    try {
        return parse(args);
    } catch (const ParseError& e) {
        return e;
    }
}

std::string refusalText(const ParseError& error)
{
    std::string text = error.message + "\n";
    if (error.showUsage)
        text += usageText();
    return text;
}

} // namespace tarnwick::netsh
