#include "apply/ApplySequence.h"

#include "adapters/StatusUpdater.h"

#include "base/Text.h"

#include <exception>
#include <utility>

namespace tarnwick
{

namespace
{

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

} // namespace

std::string leaseLine(const InterfaceReading& inForce)
{
    if (!inForce.dhcp || !inForce.leased || inForce.ip.empty() || trimBlanks(inForce.ip[0]).empty())
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

void ApplySequence::runStep(const ApplyStep& step)
{
    ui([&] {
        if (step.tidyFirst)
            m_view.deleteTrailingBlankLines();
        for (const std::string& line : step.lines)
            m_view.appendLine(line);
        if (step.progress)
            m_view.setProgress(*step.progress);
    });
    if (!step.commandLine.empty())
        runCommand(step.commandLine);
    if (step.proxy) {
        try {
            m_proxy.write(step.proxy->on, step.proxy->host, step.proxy->port);
        } catch (const std::exception& e) {
            append(std::string("代理服务器设置未能写入：") + e.what());
            throw;
        }
    }
    for (const std::string& line : step.linesAfter)
        append(line);
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
    // Read once, in one hand-over: the values checked are the values every
    // step applies, even should the user edit the main window meanwhile.
    std::string conn;
    TcpIpConfig form;
    std::string configurationName;
    ui([&] {
        conn = m_inputs.connectionName();
        form = m_inputs.fields();
        configurationName = m_inputs.configurationName();
    });
    // And the values in force once: every skip is decided against the same
    // reading, however often the status timer renews it during the run.
    const LiveValues inForce = m_snapshot.get();
    const Outcome outcome = runPlan(conn, form, inForce, {}, { 1, 2 }, configurationName);
    if (outcome == Outcome::Refused)
        m_restorePoint.reset();
    else
        m_restorePoint = restorePointOf(conn, inForce, form);
    return outcome;
}

ApplySequence::RestoreResult ApplySequence::restore(const RestorePoint& point)
{
    // Planned against what a refresh may not have seen yet: the switch being
    // undone has just changed it.
    LiveValues inForce = m_snapshot.get();
    if (m_readInForce) {
        const InterfaceReading now = inForceNow(point.connectionName);
        const TcpIpConfig proxy = inForce.config;
        inForce.mode = now.dhcp ? "DHCP" : (now.ip.empty() ? "" : now.ip.front());
        inForce.config = configInForce(now);
        inForce.config.proxyOn = proxy.proxyOn;
        inForce.config.proxyHost = proxy.proxyHost;
        inForce.config.proxyPort = proxy.proxyPort;
        inForce.gatewayInForce = now.gatewayInForce;
        inForce.dnsInForce = now.dnsInForce;
    }
    const Outcome outcome
        = runPlan(point.connectionName, point.settings, inForce, restoretext::kHeading, point.gatewayMetric);
    const InterfaceReading after = inForceNow(point.connectionName);
    const bool restored = outcome != Outcome::Refused && isRestored(point, after);
    ui([&] {
        m_view.appendLine(restored ? std::string(restoretext::kRestored)
                                   : restoretext::kNotRestored + describeInForce(configInForce(after)));
    });
    return { outcome, restored };
}

ApplySequence::Outcome ApplySequence::runPlan(const std::string& conn, const TcpIpConfig& form,
    const LiveValues& inForce, const std::string& heading, const GatewayMetrics& metrics,
    const std::string& configurationName)
{
    m_failed = false;
    const ApplyPlan plan = planApply(inForce, form, conn, metrics);

    // Preparation.
    ui([&] {
        m_view.setRetryEnabled(false);
        m_view.clearLog();
        if (!heading.empty())
            m_view.appendLine(heading);
        m_view.appendLine("连接名称: " + conn);
        if (!configurationName.empty())
            m_view.appendLine("配置名称: " + configurationName);
        m_view.appendLine("");
        m_view.setProbeAreaVisible(false);
        m_view.setProgress(0);
        m_view.setProgressVisible(true);
    });

    if (plan.refusal) {
        ui([&] {
            m_view.appendLine(*plan.refusal);
            m_view.setProgressVisible(false);
            m_view.setRetryEnabled(true);
        });
        return Outcome::Refused;
    }

    try {
        for (const ApplyStep& step : plan.steps)
            runStep(step);
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
        if (plan.toDhcp)
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
