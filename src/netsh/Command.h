#pragma once

#include "base/Ipv4.h"

#include <optional>
#include <string>
#include <variant>

namespace tarnwick::netsh
{

enum class Verb {
    SetAddressDhcp, // set address source=dhcp
    SetAddressStatic, // set address source=static addr mask [gateway gwmetric]
    AddAddress, // add address addr mask
    SetGateway, // set address gateway gwmetric
    AddGateway, // add address gateway gwmetric
    SetDnsDhcp, // set dns source=dhcp
    SetDnsStatic, // set dns source=static addr (none: no server)
    AddDns, // add dns addr [index]
    ShowConfig, // show config [name]
};

// One validated command line. Fields not used by the verb stay empty.
struct Command {
    Verb verb = Verb::ShowConfig;
    std::string name; // interface; empty only for show config of every interface
    std::optional<Ipv4> address;
    int prefix = 0;
    std::optional<Ipv4> gateway;
    int metric = 0;
    std::optional<Ipv4> dns; // nullopt with SetDnsStatic: clear the servers
    int index = 0; // 0: append

    bool operator==(const Command&) const = default;
};

struct ParseError {
    std::string message; // one line, Chinese, names the bad value
    bool showUsage = false;
    bool operator==(const ParseError&) const = default;
};

using ParseResult = std::variant<Command, ParseError>;

} // namespace tarnwick::netsh
