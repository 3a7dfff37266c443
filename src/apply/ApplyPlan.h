#pragma once

#include "adapters/LiveSnapshot.h"
#include "base/TcpIpConfig.h"

#include <optional>
#include <string>
#include <vector>

namespace tarnwick
{

// One step of a switch: what it adds to the log, then what it runs.
struct ApplyStep {
    enum class Kind {
        Comparison, // the values in force against the new ones, and the notes on them
        Announce, // the line that says the change begins
        DhcpAddress,
        StaticAddress, // address, mask and gateway in one command: nothing else to add
        FirstAddress, // the first address alone, as more addresses or a second gateway follow
        SecondAddress,
        ThirdAddress,
        Gateway,
        SecondGateway,
        AddressesDone, // closes the address part of the log
        DhcpDns,
        Dns,
        SecondDns,
        ThirdDns,
        FourthDns,
        Proxy,
    };
    struct ProxyValues {
        bool on = false;
        std::string host;
        std::string port;
        bool operator==(const ProxyValues&) const = default;
    };

    Kind kind = Kind::Comparison;
    // Drops the blank lines at the end of the log before this step's lines,
    // so the output of the command before does not leave a gap.
    bool tidyFirst = false;
    std::vector<std::string> lines;
    // Where the progress bar stands once the lines are in.
    std::optional<int> progress;
    // Run after the lines, through the command runner; empty: none.
    std::string commandLine;
    // Written after the lines; followed by linesAfter once written.
    std::optional<ProxyValues> proxy;
    std::vector<std::string> linesAfter;

    // "static address", "second dns", ...
    const char* name() const;
    // The arguments the command line gives the program, itself first.
    std::vector<std::string> argv() const;
};

struct ApplyPlan {
    // Why this switch must not start; a refused plan has no steps.
    std::optional<std::string> refusal;
    std::vector<ApplyStep> steps;
    // A switch to automatic addressing: the run ends naming the lease.
    bool toDhcp = false;
};

const char* stepName(ApplyStep::Kind kind);

// One comparison line of the log: label and current value trimmed as a
// whole, padded with spaces to 26 bytes counted in GB2312, the arrow, the new value.
std::string statusLine(const std::string& label, const std::string& current, const std::string& next);

// The whole switch from the values in force (one reading) to the fields (as
// typed), for the named connection: the refusal of a value no command can
// carry, or the steps in order, leaving out what is already in force.
// A switch gives its gateways metrics 1 and 2; a restore gives them back
// the metrics they had.
using GatewayMetrics = std::array<int, 2>;
ApplyPlan planApply(const LiveValues& inForce, const TcpIpConfig& fields, const std::string& connectionName,
    const GatewayMetrics& metrics = { 1, 2 });

} // namespace tarnwick
