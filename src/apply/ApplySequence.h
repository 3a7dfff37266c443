#pragma once

#include "adapters/LiveSnapshot.h"
#include "adapters/LiveValuesSource.h"
#include "adapters/ProxySource.h"
#include "apply/ApplyPlan.h"
#include "apply/CommandRunner.h"
#include "apply/RestorePoint.h"
#include "base/Dispatcher.h"
#include "base/TcpIpConfig.h"

#include <functional>
#include <optional>
#include <string>

namespace tarnwick
{

// What the sequence reads from the window (or what stands in for it), on the
// GUI thread, once at the start of a run.
class ApplyInputs
{
public:
    virtual ~ApplyInputs() = default;
    // The connection name of the selected adapter.
    virtual std::string connectionName() = 0;
    // The fields, radio buttons and boxes as they are now, texts as typed.
    virtual TcpIpConfig fields() = 0;
    // The stored configuration the fields hold unchanged, by its caption;
    // empty when they hold none (typed, or edited after loading).
    virtual std::string configurationName() { return {}; }
};

// The apply window as the sequence changes it; every call runs on the GUI thread.
class ApplyView
{
public:
    virtual ~ApplyView() = default;
    virtual void clearLog() = 0;
    virtual void appendLine(const std::string& line) = 0;
    // delelines: removes every line at the end of the log that is empty after
    // trimming; stops at an empty log.
    virtual void deleteTrailingBlankLines() = 0;
    virtual void setRetryEnabled(bool enabled) = 0;
    // Moves the bar and repaints it at once.
    virtual void setProgress(int position) = 0;
    virtual void setProgressVisible(bool visible) = 0;
    // The probe's captions, result labels and circles. Hiding them also hides
    // the spare label and resets both indicators (white, "----").
    virtual void setProbeAreaVisible(bool visible) = 0;
};

// The texts of the apply log that callers and tests refer to.
namespace applytext
{
inline constexpr const char* kDone = "设置完毕！";
// Closes a run in which a command said it did not do all it was asked.
inline constexpr const char* kNotAllApplied = "部分设置未能生效，请查看上面的提示信息。";
// After a switch to automatic addressing: the address the adapter leased.
inline constexpr const char* kLeased = "已从 DHCP 获得地址：";
inline constexpr const char* kNoLease = "尚未从 DHCP 获得地址。";
inline constexpr const char* kNoAdapter = "没有选中网卡，无法应用配置。";
inline constexpr const char* kQuoteInName = "网卡的连接名称含有双引号，无法安全地传给 netsh，未作任何更改。";
} // namespace applytext

// Why a run must not start for this connection name, or nullopt when it may:
// none selected, or a name a command line cannot carry safely.
std::optional<std::string> refuseConnection(const std::string& connectionName);

// The log line naming the address a switch to automatic addressing leased.
std::string leaseLine(const InterfaceReading& inForce);

// The switch itself: the apply window's OnExecute. Reads the fields and the
// values in force once, plans the switch (planApply), runs the plan's steps
// one after the other with their output in the log, and ends with the network
// probe. Runs on the apply window's worker; every change of the window goes
// through the dispatcher, in order.
class ApplySequence
{
public:
    enum class Outcome {
        Done, // closed with "设置完毕！"
        NotAllApplied, // a command exited with an error; closed with the failure line
        Stopped, // a command could not be started or the proxy not written: the run ended there
        Refused, // a value no command could carry: nothing ran
    };

    // The network test that closes a run, given the adapter's values in
    // force after the last command.
    using Probe = std::function<void(const InterfaceReading& inForce)>;
    // Reads the named connection's values in force now; called on the GUI
    // thread. Without one, the run reads the snapshot of the last refresh.
    using ReadInForce = std::function<InterfaceReading(const std::string& connectionName)>;

    ApplySequence(ApplyInputs& inputs, const LiveSnapshot& snapshot, ApplyView& view, Dispatcher& dispatcher,
        CommandRunner& runner, ProxySource& proxy, Probe probe, ReadInForce readInForce = nullptr);

    Outcome run();

    // The settings in force before the last run's first command; none before
    // a run, or after one that was refused before any command.
    std::optional<RestorePoint> restorePoint() const { return m_restorePoint; }

    struct RestoreResult {
        Outcome outcome;
        bool restored; // the point's settings are in force again (a lease included)
    };
    // Puts the point back: the same steps and log as a switch, under the
    // heading "恢复原设置...", planned against the values in force now, then
    // the probe and a line that says whether the point is in force again.
    RestoreResult restore(const RestorePoint& point);

private:
    Outcome runPlan(const std::string& conn, const TcpIpConfig& form, const LiveValues& inForce,
        const std::string& heading, const GatewayMetrics& metrics = { 1, 2 },
        const std::string& configurationName = {});
    void ui(std::function<void()> action);
    void append(const std::string& line);
    // Logs the step and runs its command or writes its proxy; throws (after a
    // log line) when that cannot be done at all.
    void runStep(const ApplyStep& step);
    // Runs one command line and appends its output; notes an exit with an
    // error. Throws (after a log line) when the command cannot be started.
    void runCommand(const std::string& commandLine);
    InterfaceReading inForceNow(const std::string& connectionName);

    ApplyInputs& m_inputs;
    const LiveSnapshot& m_snapshot;
    ApplyView& m_view;
    Dispatcher& m_dispatcher;
    CommandRunner& m_runner;
    ProxySource& m_proxy;
    Probe m_probe;
    ReadInForce m_readInForce;
    bool m_failed = false;
    std::optional<RestorePoint> m_restorePoint; // written by the worker, read after the run
};

} // namespace tarnwick
