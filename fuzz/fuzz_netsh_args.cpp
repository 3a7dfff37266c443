// The netsh command-line parser on arbitrary arguments (separated by NUL bytes
// in the input): it never crashes, and a command it accepts holds only values
// that may go to the kernel and the resolver file.
#include "netsh/CommandParser.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using namespace tarnwick;
using namespace tarnwick::netsh;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            args.emplace_back();
        else
            args.back() += static_cast<char>(data[i]);
    }
    const ParseResult result = parseCommand(args);
    if (const auto* error = std::get_if<ParseError>(&result)) {
        if (error->message.empty() || error->message.find('\n') != std::string::npos)
            std::abort(); // every error is one non-empty line
        return 0;
    }
    const Command& cmd = std::get<Command>(result);
    for (const char c : cmd.name) {
        if (c == '"' || static_cast<unsigned char>(c) < 0x20)
            std::abort();
    }
    const bool needsName = cmd.verb != Verb::ShowConfig;
    const bool needsAddress = cmd.verb == Verb::SetAddressStatic || cmd.verb == Verb::AddAddress;
    const bool needsGateway = cmd.verb == Verb::SetGateway || cmd.verb == Verb::AddGateway;
    if ((needsName && cmd.name.empty())
        || (needsAddress && (!cmd.address || cmd.prefix < 1 || cmd.prefix > 32))
        || (needsGateway && (!cmd.gateway || cmd.metric < 1 || cmd.metric > kMaxMetric))
        || (cmd.verb == Verb::AddDns && (!cmd.dns || cmd.index < 0 || cmd.index > kMaxDnsIndex)))
        std::abort();
    if (cmd.address && parseIpv4(formatIpv4(*cmd.address)) != cmd.address)
        std::abort();
    return 0;
}
