#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick
{

// Splits a command line into arguments the way a Windows program's C runtime
// does, so the bundled netsh receives exactly the arguments the Windows one
// would: blanks (space, tab) separate arguments outside double quotes; 2n
// backslashes before a quote give n backslashes and the quote opens or closes
// a quoted part; 2n+1 give n backslashes and a literal quote; backslashes
// elsewhere are literal; "" inside a quoted part is a literal quote. The
// first word (the program) is taken literally up to a blank, or between
// quotes when it starts with one, with no backslash rules.
std::vector<std::string> splitCommandLine(std::string_view line);

} // namespace tarnwick
