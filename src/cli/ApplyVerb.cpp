#include "adapters/PlatformSources.h"
#include "adapters/StatusReadout.h"
#include "adapters/StatusUpdater.h"
#include "apply/ApplySequence.h"
#include "apply/IcmpNetwork.h"
#include "apply/NetworkProbe.h"
#include "apply/PlainDispatcher.h"
#include "apply/RestorePoint.h"
#include "apply/ValueCheck.h"
#include "base/Settings.h"
#include "base/UserRegistry.h"
#include "cli/AdapterOption.h"
#include "cli/ConfigOption.h"
#include "cli/ProbeStates.h"
#include "cli/StreamMessageSink.h"
#include "cli/Verbs.h"
#include "shortcuts/QuickSwitchFile.h"
#include "store/ConfigFile.h"
#include "store/ConfigList.h"

#include <cerrno>
#include <charconv>
#include <chrono>
#include <exception>
#include <optional>
#include <ostream>
#include <poll.h>
#include <unistd.h>

namespace tarnwick::cli
{

namespace
{

constexpr int kRestoredExit = 3;
constexpr int kNotRestoredExit = 4;

struct ApplyArgs {
    std::optional<std::string> config;
    std::optional<int> adapter;
    bool dryRun = false;
    std::optional<int> trySeconds; // --try: undone unless confirmed within
    std::optional<std::string> id;
    std::optional<std::string> caption;
    std::optional<std::string> quickSwitchFile; // a .twk file names ID and adapter
};

// 1 to 3600: a confirmation window a person can use.
std::optional<int> parseSeconds(const std::string& text)
{
    int n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (ec != std::errc() || end != text.data() + text.size() || n < 1 || n > 3600)
        return std::nullopt;
    return n;
}

// True when a line arrives on standard input within `seconds`; false at the
// end of input or of the time.
bool confirmedWithin(int seconds)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd in { STDIN_FILENO, POLLIN, 0 };
        const int ready = ::poll(&in, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        char c = 0;
        const ssize_t n = ::read(STDIN_FILENO, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        if (c == '\n')
            return true;
    }
}

std::optional<ApplyArgs> parse(const std::vector<std::string>& args)
{
    ApplyArgs a;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& w = args[i];
        const bool hasValue = i + 1 < args.size();
        if (w == "--config" && hasValue && !a.config)
            a.config = args[++i];
        else if (w == "--adapter" && hasValue && !a.adapter && (a.adapter = parseIndex(args[++i])))
            continue;
        else if (w == "--dry-run" && !a.trySeconds)
            a.dryRun = true;
        else if (w == "--try" && hasValue && !a.trySeconds && !a.dryRun
            && (a.trySeconds = parseSeconds(args[++i])))
            continue;
        else if (w == "--id" && hasValue && !a.id && !a.caption)
            a.id = args[++i];
        else if (!w.starts_with("--") && w.ends_with(".twk") && !a.id && !a.caption && !a.quickSwitchFile)
            a.quickSwitchFile = w;
        else if (!w.starts_with("--") && !a.id && !a.caption && !a.quickSwitchFile)
            a.caption = w;
        else
            return std::nullopt;
    }
    if (!a.id && !a.caption && !a.quickSwitchFile)
        return std::nullopt;
    return a;
}

// The window's log on standard output. Lines go out once nothing can take
// them back: blank lines wait, since delelines may still remove them.
class PrintedLog : public ApplyView
{
public:
    explicit PrintedLog(std::ostream& out)
        : m_out(out)
    {
    }
    void clearLog() override { m_pendingBlanks = 0; }
    void appendLine(const std::string& line) override
    {
        if (line.find_first_not_of(" \t\r\n") == std::string::npos) {
            ++m_pendingBlanks;
            return;
        }
        for (; m_pendingBlanks > 0; --m_pendingBlanks)
            m_out << '\n';
        m_out << line << '\n';
    }
    void deleteTrailingBlankLines() override { m_pendingBlanks = 0; }
    void setRetryEnabled(bool) override { }
    void setProgress(int) override { }
    void setProgressVisible(bool) override { }
    void setProbeAreaVisible(bool) override { }
    void finish()
    {
        for (; m_pendingBlanks > 0; --m_pendingBlanks)
            m_out << '\n';
        m_out.flush();
    }

private:
    std::ostream& m_out;
    int m_pendingBlanks = 0;
};

class RecordInputs : public ApplyInputs
{
public:
    RecordInputs(std::string connection, TcpIpConfig fields)
        : m_connection(std::move(connection))
        , m_fields(std::move(fields))
    {
    }
    std::string connectionName() override { return m_connection; }
    TcpIpConfig fields() override { return m_fields; }

private:
    std::string m_connection;
    TcpIpConfig m_fields;
};

// --dry-run: each command line shows as it would run, and nothing changes.
class ShownCommands : public CommandRunner
{
public:
    CommandOutput run(const std::string& commandLine) override
    {
        return { { "> " + commandLine + "\n" }, 0 };
    }
};

class UnwrittenProxy : public ProxySource
{
public:
    ProxyReading read() override { return {}; }
    void write(bool, const std::string&, const std::string&) override { }
};

} // namespace

// `tarnwick apply [--config FILE] [--adapter N] [--dry-run | --try SECONDS] (--id ID | CAPTION | FILE.twk)`:
// the switch of the window's "应 用" for a stored configuration, its log on
// standard output, then the probe's two results as `probe` prints them.
// 0 when every setting took effect, 1 when not or when nothing could run.
// --try then waits for Enter: without it the settings before the switch
// are put back (3), or said not to be (4).
int runApply(const std::vector<std::string>& args, Io io)
{
    std::optional<ApplyArgs> a = parse(args);
    if (!a) {
        io.err
            << "usage: tarnwick apply [--config FILE] [--adapter N] [--dry-run | --try SECONDS] (--id ID | "
               "CAPTION | FILE.twk)\n";
        return kUsageExit;
    }
    StreamMessageSink sink(io.err);
    try {
        if (a->quickSwitchFile) {
            QuickSwitch q;
            try {
                q = readQuickSwitchFile(*a->quickSwitchFile);
            } catch (const std::runtime_error& e) {
                io.err << "tarnwick: apply: " << *a->quickSwitchFile << ": " << e.what() << '\n';
                return 1;
            }
            a->id = q.cfgId;
            // The file's adapter while it exists; the stored one otherwise.
            if (!a->adapter && q.cardId >= 0 && q.cardId < readStatusOnce(std::nullopt).table.count())
                a->adapter = q.cardId;
        }
        const std::string path = a->config ? *a->config : configFileSetting();
        const auto table = loadConfigTable(path, sink);
        if (!table) {
            io.err << "tarnwick: apply: no configuration file at " << path << '\n';
            return 1;
        }
        const ConfigRecord* record = nullptr;
        for (std::size_t i = 0; i < table->count() && !record; ++i) {
            const ConfigRecord& r = table->records[i];
            if (a->id ? r[ConfigField::Id] == *a->id : recordCaption(r, i) == *a->caption)
                record = &r;
        }
        // The window takes the first of records sharing an ID too; say so.
        if (const auto wanted = a->id ? recordIdNumber(*a->id) : std::nullopt) {
            for (const std::string& id : repeatedRecordIds(*table)) {
                if (recordIdNumber(id) == wanted)
                    sink.show(MessageSink::Kind::Warning, repeatedIdsMessage({ id }));
            }
        }
        if (!record) {
            io.err << "tarnwick: apply: no configuration "
                   << (a->id ? "with ID " + *a->id : "named " + *a->caption) << " in " << path << '\n';
            return 1;
        }

        const StatusReadout status = readStatusOnce(a->adapter);
        if (a->adapter && (*a->adapter < 0 || *a->adapter >= status.table.count())) {
            io.err << "tarnwick: apply: there is no adapter " << *a->adapter
                   << " (adapters found: " << status.table.count() << "; see tarnwick adapters)\n";
            return 1;
        }
        const std::string connection
            = status.table.contains(status.selected) ? status.table.at(status.selected).connectionName : "";
        if (const auto refusal = refuseConnection(connection)) {
            io.err << "tarnwick: apply: " << *refusal << '\n';
            return 1;
        }

        const TcpIpConfig fields = configOf(*record);
        if (const auto refusal = refuseValues(fields)) {
            io.err << "tarnwick: apply: " << *refusal << '\n';
            return 1;
        }

        LiveSnapshot snapshot;
        snapshot.set(status.values);
        RecordInputs inputs(connection, fields);
        PrintedLog log(io.out);
        PlainDispatcher dispatcher; // this thread plays the GUI thread
        const auto store = openUserRegistry();
        ProcessCommandRunner realRunner;
        ShownCommands shownRunner;
        const auto realProxy = makeProxySource(*store);
        UnwrittenProxy unwritten;

        ProbeStates probeView;
        std::string probeError;
        std::unique_ptr<IcmpNetwork> network;
        SteadyTickClock clock;
        std::unique_ptr<NetworkProbe> probe;
        ApplySequence::Probe runProbe;
        ApplySequence::ReadInForce readInForce;
        std::unique_ptr<LiveValuesSource> live;
        if (!a->dryRun) {
            network = makeSystemIcmpNetwork();
            probe = std::make_unique<NetworkProbe>(*network, clock, snapshot, dispatcher, probeView);
            runProbe = [&](const InterfaceReading& now) {
                try {
                    probe->TestNetStatus(now.gatewayInForce, now.dnsInForce);
                } catch (const std::exception& e) {
                    probeError = e.what();
                }
            };
            live = makeLiveValuesSource(*store, LiveReads::OneShot);
            readInForce = [&](const std::string& name) {
                for (int i = 0; i < status.table.count(); ++i) {
                    if (status.table.at(i).connectionName == name)
                        return live->readInterface(status.table.at(i));
                }
                return InterfaceReading {};
            };
        }
        ApplySequence sequence(inputs, snapshot, log, dispatcher,
            a->dryRun ? static_cast<CommandRunner&>(shownRunner) : realRunner,
            a->dryRun ? static_cast<ProxySource&>(unwritten) : *realProxy, runProbe, readInForce);
        const ApplySequence::Outcome outcome = sequence.run();
        log.finish();
        if (probe
            && (outcome == ApplySequence::Outcome::Done || outcome == ApplySequence::Outcome::NotAllApplied))
            probeView.print(io.out);
        if (!probeError.empty())
            io.err << "tarnwick: apply: probe: " << probeError << '\n';
        const int switched = outcome == ApplySequence::Outcome::Done ? 0 : 1;
        if (!a->trySeconds || outcome == ApplySequence::Outcome::Refused)
            return switched;

        // The settings before the switch, put back unless the user keeps these.
        const std::optional<RestorePoint> point = sequence.restorePoint();
        if (!point)
            return switched;
        io.out << "按回车键保留这些设置，" << *a->trySeconds << " 秒后自动恢复原设置" << std::endl;
        if (confirmedWithin(*a->trySeconds)) {
            io.out << restoretext::kKept << '\n';
            return switched;
        }
        io.out << '\n';
        probeError.clear();
        const ApplySequence::RestoreResult back = sequence.restore(*point);
        log.finish();
        if (back.outcome == ApplySequence::Outcome::Done
            || back.outcome == ApplySequence::Outcome::NotAllApplied)
            probeView.print(io.out);
        if (!probeError.empty())
            io.err << "tarnwick: apply: probe: " << probeError << '\n';
        return back.restored ? kRestoredExit : kNotRestoredExit;
    } catch (const std::exception& e) {
        sink.show(MessageSink::Kind::Error, e.what());
        return 1;
    }
}

} // namespace tarnwick::cli
