// The apply sequence from its start to its closing line (no probe), against
// the same netsh command lines started back to back by a bare loop: what the
// sequence itself adds. Then static -> DHCP against the bare DHCP client
// getting a lease from the lab's server (udhcpc for both, so they match).
// Run inside a lab: scripts/lab run -- <build>/bin/bench_apply [rounds]
#include "adapters/StatusReadout.h"
#include "apply/ApplySequence.h"
#include "apply/PlainDispatcher.h"
#include "apply/RunWindowsExe.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

using namespace tarnwick;
using Clock = std::chrono::steady_clock;

namespace
{

class QuietLog : public ApplyView
{
public:
    void clearLog() override { }
    void appendLine(const std::string&) override { }
    void deleteTrailingBlankLines() override { }
    void setRetryEnabled(bool) override { }
    void setProgress(int) override { }
    void setProgressVisible(bool) override { }
    void setProbeAreaVisible(bool) override { }
};

class Fields : public ApplyInputs
{
public:
    std::string connectionName() override { return lan; }
    TcpIpConfig fields() override { return form; }
    std::string lan;
    TcpIpConfig form;
};

class RecordingRunner : public CommandRunner
{
public:
    CommandOutput run(const std::string& line) override
    {
        lines.push_back(line);
        return runCommandLine(line);
    }
    std::vector<std::string> lines;
};

class NoProxy : public ProxySource
{
public:
    ProxyReading read() override { return {}; }
    void write(bool, const std::string&, const std::string&) override { }
};

// The runner starts programs only from our own folders, never from PATH, so
// the bench finds busybox itself and names it by its full path.
std::string onPath(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= dirs.size();) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string candidate = dirs.substr(start, end - start) + "/" + name;
        if (end > start && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

double ms(Clock::time_point from)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

TcpIpConfig staticConfig(int variant, bool full)
{
    TcpIpConfig c;
    c.fixedIp = c.fixedDns = true;
    c.ip[0] = variant ? "192.0.2.20" : "192.0.2.10";
    c.mask[0] = "255.255.255.0";
    c.gateway[0] = "192.0.2.1";
    c.dns[0] = variant ? "192.0.2.54" : "192.0.2.53";
    if (full) {
        c.ip[1] = variant ? "10.2.0.5" : "10.1.0.5";
        c.mask[1] = "255.255.0.0";
        c.ip[2] = variant ? "172.16.6.5" : "172.16.5.5";
        c.mask[2] = "255.255.255.0";
        c.gateway[1] = variant ? "10.2.0.1" : "10.1.0.1";
        c.dns = { c.dns[0], "192.0.2.55", "10.1.0.53", "10.1.0.54" };
    }
    return c;
}

// One run of the sequence from the values in force; the command lines it ran.
double throughSequence(Fields& in, std::vector<std::string>* lines)
{
    LiveSnapshot snapshot;
    snapshot.set(readStatusOnce(0).values);
    QuietLog log;
    PlainDispatcher dispatcher;
    RecordingRunner runner;
    NoProxy proxy;
    ApplySequence sequence(in, snapshot, log, dispatcher, runner, proxy, nullptr);
    const auto t0 = Clock::now();
    sequence.run();
    const double took = ms(t0);
    if (lines)
        *lines = runner.lines;
    return took;
}

double bareLoop(const std::vector<std::string>& lines)
{
    const auto t0 = Clock::now();
    for (const auto& line : lines) {
        // A floor of refused commands would flatter the sequence.
        if (runCommandLine(line).exitStatus != 0) {
            std::fprintf(stderr, "bench_apply: failed: %s\n", line.c_str());
            std::exit(1);
        }
    }
    return ms(t0);
}

void report(
    const char* what, const std::vector<double>& sequence, const std::vector<double>& floor, double goal)
{
    std::printf("  %-34s sequence %7.2f ms   floor %7.2f ms   ratio %.3f (goal <= %.2f)\n", what,
        median(sequence), median(floor), median(sequence) / median(floor), goal);
}

} // namespace

int main(int argc, char** argv)
{
    const char* lan = std::getenv("TARNWICK_LAB_IF");
    if (!lan) {
        std::fprintf(stderr, "bench_apply: run inside a lab: scripts/lab run -- %s\n", argv[0]);
        return 2;
    }
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const std::string busybox = onPath("busybox");
    if (busybox.empty()) {
        std::fprintf(stderr, "bench_apply: busybox (its udhcpc) is not on PATH\n");
        return 2;
    }
    ::setenv("TARNWICK_DHCP_CLIENT", "udhcpc", 1);
    Fields in;
    in.lan = lan;
    std::printf("apply sequence, %d rounds, medians (no probe)\n", rounds);
    for (const bool full : { false, true }) {
        std::vector<double> seq, floor;
        for (int i = 0; i < rounds; ++i) {
            // Alternate two configurations so every round changes the link.
            in.form = staticConfig(i % 2, full);
            std::vector<std::string> lines;
            seq.push_back(throughSequence(in, &lines));
            in.form = staticConfig((i + 1) % 2, full);
            std::vector<std::string> back;
            throughSequence(in, &back);
            floor.push_back(bareLoop(lines));
        }
        report(full ? "full static switch (9 commands)" : "worked example (1 command)", seq, floor, 1.10);
    }
    std::vector<double> dhcp, client;
    for (int i = 0; i < std::max(3, rounds / 4); ++i) {
        in.form = staticConfig(0, false);
        throughSequence(in, nullptr);
        in.form.fixedIp = false;
        dhcp.push_back(throughSequence(in, nullptr));
        in.form = staticConfig(0, false);
        throughSequence(in, nullptr); // stops the client netsh started
        const auto t0 = Clock::now();
        if (runCommandLine(busybox + " udhcpc -i " + lan + " -n -q -f -s /bin/true").exitStatus != 0) {
            std::fprintf(stderr, "bench_apply: udhcpc got no lease from the lab\n");
            return 1;
        }
        client.push_back(ms(t0));
    }
    report("static -> DHCP (udhcpc)", dhcp, client, 1.20);
    return 0;
}
