#include "apply/ApplySequence.h"

#include "apply/ValueCheck.h"
#include "base/Text.h"
#include "base/TextCodec.h"

#include <exception>
#include <utility>

namespace tarnwick
{

namespace
{

constexpr std::size_t kStatusWidth = 26;

// The lines one output chunk adds to the log: each line break starts a new
// line; a break at the very end starts none.
std::vector<std::string> chunkLines(const std::string& chunk)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < chunk.size()) {
        std::size_t end = chunk.find('\n', start);
        if (end == std::string::npos)
            end = chunk.size();
        std::string line = chunk.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

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

// The command lines, each exactly as its template writes it.
constexpr const char* kNetsh = "netsh interface ip ";

std::string c1(const std::string& conn)
{
    return std::string(kNetsh) + "set address name=" + quoted(conn) + " source=\"dhcp\"";
}

std::string c2(const std::string& conn, const std::string& ip, const std::string& mask)
{
    return std::string(kNetsh) + "set address name=" + quoted(conn) + " source=\"static\" addr=" + quoted(ip)
        + " mask=" + quoted(mask);
}

std::string c3(const std::string& conn, const std::string& ip, const std::string& mask, const std::string& gw)
{
    return c2(conn, ip, mask) + " gateway=" + quoted(gw) + " gwmetric=1";
}

std::string c4(const std::string& conn, const std::string& ip, const std::string& mask)
{
    return std::string(kNetsh) + "add address name=" + quoted(conn) + " addr=" + quoted(ip)
        + " mask=" + quoted(mask);
}

std::string c5(const std::string& conn, const std::string& gw)
{
    return std::string(kNetsh) + "set address name=" + quoted(conn) + " gateway=" + quoted(gw)
        + " gwmetric=1";
}

std::string c6(const std::string& conn, const std::string& gw)
{
    return std::string(kNetsh) + "add address name=" + quoted(conn) + " gateway=" + quoted(gw)
        + " gwmetric=2";
}

std::string c7(const std::string& conn)
{
    return std::string(kNetsh) + "set dns name=" + quoted(conn) + " source=\"dhcp\"";
}

std::string c8(const std::string& conn, const std::string& dns)
{
    return std::string(kNetsh) + "set dns name=" + quoted(conn) + " source=\"static\" addr=" + quoted(dns)
        + " ";
}

std::string c9(const std::string& conn, const std::string& dns, int index)
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

} // namespace

std::string leaseLine(const InterfaceReading& inForce)
{
    if (!inForce.dhcp || inForce.ip.empty() || trimBlanks(inForce.ip[0]).empty())
        return applytext::kNoLease;
    std::string line = std::string(applytext::kLeased) + trimBlanks(inForce.ip[0]);
    if (!inForce.mask.empty() && !trimBlanks(inForce.mask[0]).empty())
        line += "/" + trimBlanks(inForce.mask[0]);
    return line;
}

std::optional<std::string> refuseConnection(const std::string& connectionName)
{
    if (connectionName.empty())
        return std::string(applytext::kNoAdapter);
    if (connectionName.find('"') != std::string::npos)
        return std::string(applytext::kQuoteInName);
    return std::nullopt;
}

std::string statusLine(const std::string& label, const std::string& current, const std::string& next)
{
    std::string line = trimBlanks(label + current);
    const std::size_t bytes = gbLength(line);
    if (bytes < kStatusWidth)
        line.append(kStatusWidth - bytes, ' ');
    return line + "->     " + next;
}

ApplySequence::ApplySequence(ApplyInputs& inputs, const LiveSnapshot& snapshot, ApplyView& view,
    Dispatcher& dispatcher, CommandRunner& runner, ProxySource& proxy, Probe probe, ReadInForce readInForce)
    : m_inputs(inputs)
    , m_snapshot(snapshot)
    , m_view(view)
    , m_dispatcher(dispatcher)
    , m_runner(runner)
    , m_proxy(proxy)
    , m_probe(std::move(probe))
    , m_readInForce(std::move(readInForce))
{
}

void ApplySequence::ui(std::function<void()> action)
{
    m_dispatcher.invoke(std::move(action));
}

void ApplySequence::append(const std::string& line)
{
    ui([&] { m_view.appendLine(line); });
}

void ApplySequence::deleteBlankLines()
{
    ui([&] { m_view.deleteTrailingBlankLines(); });
}

void ApplySequence::runCommand(const std::string& commandLine)
{
    CommandOutput out;
    try {
        out = m_runner.run(commandLine);
    } catch (const std::exception& e) {
        // The run ends here, as when the command cannot be started at all;
        // the log says why, so the window does not stand still without a word.
        append(std::string("无法运行命令：") + e.what());
        throw;
    }
    for (const std::string& chunk : out.chunks) {
        for (const std::string& line : chunkLines(chunk))
            append(line);
    }
    if (out.exitStatus != 0)
        m_failed = true;
}

InterfaceReading ApplySequence::inForceNow(const std::string& connectionName)
{
    InterfaceReading now;
    if (m_readInForce) {
        ui([&] { now = m_readInForce(connectionName); });
        return now;
    }
    const LiveValues live = m_snapshot.get();
    now.dhcp = live.mode == "DHCP";
    now.ip = { live.config.ip[0] };
    now.mask = { live.config.mask[0] };
    now.gatewayInForce = live.gatewayInForce;
    now.dnsInForce = live.dnsInForce;
    return now;
}

ApplySequence::Outcome ApplySequence::run()
{
    m_failed = false;
    std::string conn;
    ui([&] { conn = m_inputs.connectionName(); });
    // Read once: the values checked are the values every step applies, even
    // should the user edit the main window while the run goes on.
    TcpIpConfig form;
    ui([&] { form = m_inputs.fields(); });

    // Preparation.
    ui([&] {
        m_view.setRetryEnabled(false);
        m_view.clearLog();
        m_view.appendLine("连接名称: " + conn);
        m_view.appendLine("");
        m_view.setProbeAreaVisible(false);
        m_view.setProgress(0);
        m_view.setProgressVisible(true);
    });

    if (const auto refusal = refuseValues(form)) {
        ui([&] {
            m_view.appendLine(*refusal);
            m_view.setProgressVisible(false);
            m_view.setRetryEnabled(true);
        });
        return Outcome::Refused;
    }

    try {
        // Comparison log.
        {
            const TcpIpConfig& f = form;
            const TcpIpConfig now = m_snapshot.get().config;
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
            for (const Row& r : rows) {
                if (!r.always && blank(r.current) && blank(r.field))
                    continue;
                append(statusLine(r.label, r.current, r.whenAutomatic ? r.automatic : trimBlanks(r.field)));
            }
        }
        for (const std::string& note : valueNotes(form))
            append(note);
        ui([&] { m_view.setProgress(10); });

        // The three flags, worked out once.
        const TcpIpConfig& f = form;
        const LiveValues live = m_snapshot.get();
        const TcpIpConfig& now = live.config;
        // A lease's values in force match no static fields: DHCP is left for them.
        bool ipChanged = !f.fixedIp || !now.fixedIp;
        for (std::size_t i = 0; i < 3 && !ipChanged; ++i)
            ipChanged = differs(now.ip[i], f.ip[i]) || differs(now.mask[i], f.mask[i]);
        const bool gatewayChanged = differs(now.gateway[0], f.gateway[0])
            || differs(now.gateway[1], f.gateway[1]) || !f.fixedIp || ipChanged;
        bool dnsChanged = !f.fixedDns || !now.fixedDns;
        for (std::size_t i = 0; i < 4 && !dnsChanged; ++i)
            dnsChanged = differs(now.dns[i], f.dns[i]);
        append("");

        // Address and gateway steps.
        {
            const TcpIpConfig& af = form;
            const Values v(af);
            if (!af.fixedIp) {
                append("正在更改网络配置...");
                append("");
                append("更改IP...      ");
                runCommand(c1(conn));
            } else {
                append(m_snapshot.get().mode == "DHCP"
                        ? "正在更改网络配置，可能需要相当长的时间，请耐心等候..."
                        : "正在更改网络配置...");
                append("");
                const bool extrasEmpty = v.ip[1].empty() && v.mask[1].empty() && v.ip[2].empty()
                    && v.mask[2].empty() && v.gw[1].empty();
                if ((ipChanged || gatewayChanged) && extrasEmpty) {
                    append("更改 IP ...      ");
                    runCommand(v.gw[0].empty() ? c2(conn, v.ip[0], v.mask[0])
                                               : c3(conn, v.ip[0], v.mask[0], v.gw[0]));
                } else {
                    if (ipChanged) {
                        append("更改IP...      ");
                        runCommand(c2(conn, v.ip[0], v.mask[0]));
                        if (!v.ip[1].empty() && !v.mask[1].empty()) {
                            deleteBlankLines();
                            append("更改IP2...     ");
                            runCommand(c4(conn, v.ip[1], v.mask[1]));
                        }
                        if (!v.ip[2].empty() && !v.mask[2].empty()) {
                            deleteBlankLines();
                            append("更改IP3...     ");
                            runCommand(c4(conn, v.ip[2], v.mask[2]));
                        }
                    }
                    if (gatewayChanged) {
                        if (!v.gw[0].empty()) {
                            deleteBlankLines();
                            append("更改网关...    ");
                            runCommand(c5(conn, v.gw[0]));
                        }
                        if (!v.gw[1].empty()) {
                            deleteBlankLines();
                            append("更改网关2...   ");
                            runCommand(c6(conn, v.gw[1]));
                        }
                    }
                }
            }
        }

        // DNS steps.
        ui([&] {
            m_view.deleteTrailingBlankLines();
            m_view.appendLine("");
            m_view.setProgress(60);
        });
        if (dnsChanged) {
            const TcpIpConfig& df = form;
            const Values v(df);
            deleteBlankLines();
            append("更改DNS... ");
            if (!df.fixedDns) {
                runCommand(c7(conn));
            } else {
                runCommand(c8(conn, v.dns[0]));
                const char* titles[] = { "更改DNS2...  ", "更改DNS3...  ", "更改DNS4...  " };
                for (int n = 2; n <= 4; ++n) {
                    if (v.dns[n - 1].empty())
                        continue;
                    deleteBlankLines();
                    append(titles[n - 2]);
                    runCommand(c9(conn, v.dns[n - 1], n));
                }
            }
        }

        // Proxy step: untrimmed texts, compared exactly.
        const TcpIpConfig& pf = form;
        if (pf.proxyTakesPart) {
            const TcpIpConfig inForce = m_snapshot.get().config;
            const bool unchanged = pf.proxyOn == inForce.proxyOn && pf.proxyHost == inForce.proxyHost
                && pf.proxyPort == inForce.proxyPort;
            if (!unchanged) {
                append("更改IE代理服务器设置...  ");
                try {
                    m_proxy.write(pf.proxyOn, pf.proxyHost, pf.proxyPort);
                } catch (const std::exception& e) {
                    append(std::string("代理服务器设置未能写入：") + e.what());
                    throw;
                }
                append("确定。");
            }
        }
    } catch (const std::exception&) {
        // The run ends where it failed: progress bar visible, retry disabled,
        // indicators hidden; the log's last line says why.
        return Outcome::Stopped;
    }

    // Finish, with what the adapter has now: the probe tests the network
    // just switched to, not the one of the last refresh.
    const InterfaceReading now = inForceNow(conn);
    ui([&] {
        m_view.deleteTrailingBlankLines();
        m_view.appendLine("");
        m_view.appendLine(m_failed ? applytext::kNotAllApplied : applytext::kDone);
        if (!form.fixedIp)
            m_view.appendLine(leaseLine(now));
        m_view.setProgress(30);
        m_view.setRetryEnabled(true);
        m_view.setProgressVisible(false);
        m_view.setProbeAreaVisible(true);
    });
    if (m_probe)
        m_probe(now);
    return m_failed ? Outcome::NotAllApplied : Outcome::Done;
}

} // namespace tarnwick
