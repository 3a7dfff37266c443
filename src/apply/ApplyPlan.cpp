#include "apply/ApplyPlan.h"

#include "apply/CommandLine.h"
#include "apply/ValueCheck.h"
#include "base/Text.h"
#include "base/TextCodec.h"

namespace tarnwick
{

namespace
{

constexpr std::size_t kStatusWidth = 26;

bool differs(const std::string& current, const std::string& field)
{
    return trimBlanks(current) != trimBlanks(field);
}

bool blank(const std::string& text)
{
    return trimBlanks(text).empty();
}

std::string quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

// The command lines, each exactly as its template writes it (the two blanks
// before the address of "add dns" included).
constexpr const char* kNetsh = "netsh interface ip ";

std::string dhcpAddress(const std::string& conn)
{
    return std::string(kNetsh) + "set address name=" + quoted(conn) + " source=\"dhcp\"";
}

std::string staticAddress(const std::string& conn, const std::string& ip, const std::string& mask)
{
    return std::string(kNetsh) + "set address name=" + quoted(conn) + " source=\"static\" addr=" + quoted(ip)
        + " mask=" + quoted(mask);
}

std::string staticAddressWithGateway(const std::string& conn, const std::string& ip, const std::string& mask,
    const std::string& gw, int metric)
{
    return staticAddress(conn, ip, mask) + " gateway=" + quoted(gw) + " gwmetric=" + std::to_string(metric);
}

std::string addAddress(const std::string& conn, const std::string& ip, const std::string& mask)
{
    return std::string(kNetsh) + "add address name=" + quoted(conn) + " addr=" + quoted(ip)
        + " mask=" + quoted(mask);
}

std::string setGateway(const std::string& conn, const std::string& gw, int metric)
{
    return std::string(kNetsh) + "set address name=" + quoted(conn) + " gateway=" + quoted(gw)
        + " gwmetric=" + std::to_string(metric);
}

std::string addGateway(const std::string& conn, const std::string& gw, int metric)
{
    return std::string(kNetsh) + "add address name=" + quoted(conn) + " gateway=" + quoted(gw)
        + " gwmetric=" + std::to_string(metric);
}

std::string dhcpDns(const std::string& conn)
{
    return std::string(kNetsh) + "set dns name=" + quoted(conn) + " source=\"dhcp\"";
}

std::string setDns(const std::string& conn, const std::string& dns)
{
    return std::string(kNetsh) + "set dns name=" + quoted(conn) + " source=\"static\" addr=" + quoted(dns)
        + " ";
}

std::string addDns(const std::string& conn, const std::string& dns, int index)
{
    return std::string(kNetsh) + "add dns name=" + quoted(conn) + "  addr=" + quoted(dns)
        + " index=" + std::to_string(index);
}

// The trimmed field values the commands carry.
struct Values {
    std::string ip[3], mask[3], gw[2], dns[4];
    explicit Values(const TcpIpConfig& f)
    {
        for (std::size_t i = 0; i < 3; ++i) {
            ip[i] = trimBlanks(f.ip[i]);
            mask[i] = trimBlanks(f.mask[i]);
        }
        for (std::size_t i = 0; i < 2; ++i)
            gw[i] = trimBlanks(f.gateway[i]);
        for (std::size_t i = 0; i < 4; ++i)
            dns[i] = trimBlanks(f.dns[i]);
    }
};

ApplyStep logStep(ApplyStep::Kind kind)
{
    ApplyStep s;
    s.kind = kind;
    return s;
}

ApplyStep step(ApplyStep::Kind kind, bool tidyFirst, std::string title, std::string commandLine)
{
    ApplyStep s = logStep(kind);
    s.tidyFirst = tidyFirst;
    s.lines = { std::move(title) };
    s.commandLine = std::move(commandLine);
    return s;
}

// Rows with nothing in force and nothing typed are left out, bar the first
// address and mask.
std::vector<std::string> comparisonLines(const TcpIpConfig& now, const TcpIpConfig& f)
{
    const bool dhcp = !f.fixedIp;
    const bool autoDns = !f.fixedDns;
    struct Row {
        const char* label;
        const std::string& current;
        const std::string& field;
        const char* automatic;
        bool whenAutomatic;
        bool always;
    };
    const Row rows[] = {
        { "IP:    ", now.ip[0], f.ip[0], "DHCP", dhcp, true },
        { "Mask:  ", now.mask[0], f.mask[0], "DHCP", dhcp, true },
        { "IP2:    ", now.ip[1], f.ip[1], "DHCP", dhcp, false },
        { "Mask2:  ", now.mask[1], f.mask[1], "DHCP", dhcp, false },
        { "IP3:    ", now.ip[2], f.ip[2], "DHCP", dhcp, false },
        { "Mask3:  ", now.mask[2], f.mask[2], "DHCP", dhcp, false },
        { "Gate:  ", now.gateway[0], f.gateway[0], "DHCP", dhcp, false },
        { "Gate2:  ", now.gateway[1], f.gateway[1], "DHCP", dhcp, false },
        { "DNS1:  ", now.dns[0], f.dns[0], "Auto", autoDns, false },
        { "DNS2:  ", now.dns[1], f.dns[1], "Auto", autoDns, false },
        { "DNS3:  ", now.dns[2], f.dns[2], "Auto", autoDns, false },
        { "DNS4:  ", now.dns[3], f.dns[3], "Auto", autoDns, false },
    };
    std::vector<std::string> lines;
    for (const Row& r : rows) {
        if (!r.always && blank(r.current) && blank(r.field))
            continue;
        lines.push_back(statusLine(r.label, r.current, r.whenAutomatic ? r.automatic : trimBlanks(r.field)));
    }
    for (std::string& note : valueNotes(f))
        lines.push_back(std::move(note));
    return lines;
}

} // namespace

const char* stepName(ApplyStep::Kind kind)
{
    using K = ApplyStep::Kind;
    switch (kind) {
    case K::Comparison:
        return "comparison";
    case K::Announce:
        return "announce";
    case K::DhcpAddress:
        return "dhcp address";
    case K::StaticAddress:
        return "static address";
    case K::FirstAddress:
        return "first address";
    case K::SecondAddress:
        return "second address";
    case K::ThirdAddress:
        return "third address";
    case K::Gateway:
        return "gateway";
    case K::SecondGateway:
        return "second gateway";
    case K::AddressesDone:
        return "addresses done";
    case K::DhcpDns:
        return "dhcp dns";
    case K::Dns:
        return "dns";
    case K::SecondDns:
        return "second dns";
    case K::ThirdDns:
        return "third dns";
    case K::FourthDns:
        return "fourth dns";
    case K::Proxy:
        return "proxy";
    }
    return "?";
}

const char* ApplyStep::name() const
{
    return stepName(kind);
}

std::vector<std::string> ApplyStep::argv() const
{
    return splitCommandLine(commandLine);
}

std::string statusLine(const std::string& label, const std::string& current, const std::string& next)
{
    std::string line = trimBlanks(label + current);
    const std::size_t bytes = gbLength(line);
    if (bytes < kStatusWidth)
        line.append(kStatusWidth - bytes, ' ');
    return line + "->     " + next;
}

ApplyPlan planApply(
    const LiveValues& inForce, const TcpIpConfig& f, const std::string& conn, const GatewayMetrics& metrics)
{
    using K = ApplyStep::Kind;
    ApplyPlan plan;
    plan.toDhcp = !f.fixedIp;
    if (auto refusal = refuseValues(f)) {
        plan.refusal = std::move(refusal);
        return plan;
    }
    const TcpIpConfig& now = inForce.config;
    const Values v(f);
    auto& steps = plan.steps;

    ApplyStep comparison = logStep(K::Comparison);
    comparison.lines = comparisonLines(now, f);
    comparison.progress = 10;
    steps.push_back(std::move(comparison));

    // A lease's values in force match no static fields: DHCP is left for them.
    bool ipChanged = !f.fixedIp || !now.fixedIp;
    for (std::size_t i = 0; i < 3 && !ipChanged; ++i)
        ipChanged = differs(now.ip[i], f.ip[i]) || differs(now.mask[i], f.mask[i]);
    const bool gatewayChanged = differs(now.gateway[0], f.gateway[0]) || differs(now.gateway[1], f.gateway[1])
        || !f.fixedIp || ipChanged;
    bool dnsChanged = !f.fixedDns || !now.fixedDns;
    for (std::size_t i = 0; i < 4 && !dnsChanged; ++i)
        dnsChanged = differs(now.dns[i], f.dns[i]);

    // Leaving a lease can take long: the log says so beforehand.
    const char* announce = f.fixedIp && inForce.mode == "DHCP"
        ? "正在更改网络配置，可能需要相当长的时间，请耐心等候..."
        : "正在更改网络配置...";
    ApplyStep announceStep = logStep(K::Announce);
    announceStep.lines = { "", announce, "" };
    steps.push_back(std::move(announceStep));

    if (!f.fixedIp) {
        steps.push_back(step(K::DhcpAddress, false, "更改IP...      ", dhcpAddress(conn)));
    } else {
        const bool extrasEmpty
            = v.ip[1].empty() && v.mask[1].empty() && v.ip[2].empty() && v.mask[2].empty() && v.gw[1].empty();
        if ((ipChanged || gatewayChanged) && extrasEmpty) {
            steps.push_back(step(K::StaticAddress, false, "更改 IP ...      ",
                v.gw[0].empty() ? staticAddress(conn, v.ip[0], v.mask[0])
                                : staticAddressWithGateway(conn, v.ip[0], v.mask[0], v.gw[0], metrics[0])));
        } else {
            if (ipChanged) {
                steps.push_back(
                    step(K::FirstAddress, false, "更改IP...      ", staticAddress(conn, v.ip[0], v.mask[0])));
                if (!v.ip[1].empty() && !v.mask[1].empty())
                    steps.push_back(step(
                        K::SecondAddress, true, "更改IP2...     ", addAddress(conn, v.ip[1], v.mask[1])));
                if (!v.ip[2].empty() && !v.mask[2].empty())
                    steps.push_back(
                        step(K::ThirdAddress, true, "更改IP3...     ", addAddress(conn, v.ip[2], v.mask[2])));
            }
            if (gatewayChanged) {
                if (!v.gw[0].empty())
                    steps.push_back(
                        step(K::Gateway, true, "更改网关...    ", setGateway(conn, v.gw[0], metrics[0])));
                if (!v.gw[1].empty())
                    steps.push_back(step(
                        K::SecondGateway, true, "更改网关2...   ", addGateway(conn, v.gw[1], metrics[1])));
            }
        }
    }

    ApplyStep addressesDone = logStep(K::AddressesDone);
    addressesDone.tidyFirst = true;
    addressesDone.lines = { "" };
    addressesDone.progress = 60;
    steps.push_back(std::move(addressesDone));

    if (dnsChanged) {
        if (!f.fixedDns) {
            steps.push_back(step(K::DhcpDns, true, "更改DNS... ", dhcpDns(conn)));
        } else {
            steps.push_back(step(K::Dns, true, "更改DNS... ", setDns(conn, v.dns[0])));
            const K kinds[] = { K::SecondDns, K::ThirdDns, K::FourthDns };
            const char* titles[] = { "更改DNS2...  ", "更改DNS3...  ", "更改DNS4...  " };
            for (int n = 2; n <= 4; ++n) {
                if (!v.dns[n - 1].empty())
                    steps.push_back(step(kinds[n - 2], true, titles[n - 2], addDns(conn, v.dns[n - 1], n)));
            }
        }
    }

    // Untrimmed texts, compared exactly: the proxy is stored as typed.
    if (f.proxyTakesPart) {
        const bool unchanged
            = f.proxyOn == now.proxyOn && f.proxyHost == now.proxyHost && f.proxyPort == now.proxyPort;
        if (!unchanged) {
            ApplyStep proxy = logStep(K::Proxy);
            proxy.lines = { "更改IE代理服务器设置...  " };
            proxy.proxy = ApplyStep::ProxyValues { f.proxyOn, f.proxyHost, f.proxyPort };
            proxy.linesAfter = { "确定。" };
            steps.push_back(std::move(proxy));
        }
    }
    return plan;
}

} // namespace tarnwick
