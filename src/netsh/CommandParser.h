#pragma once

#include "netsh/Command.h"

#include <string>
#include <vector>

namespace tarnwick::netsh
{

// Turns the arguments after the program name into a command; pure. Keywords
// and the dhcp/static/none values are matched without regard to case; values
// arrive already unquoted (the runner splits command lines by the Windows rules).
ParseResult parseCommand(const std::vector<std::string>& args);

// Lines of the usage text.
const char* usageText();

// What a refused command line prints: the reason, then the usage where it helps.
std::string refusalText(const ParseError& error);

constexpr int kMaxMetric = 9999;
constexpr int kMaxDnsIndex = 99;

} // namespace tarnwick::netsh
