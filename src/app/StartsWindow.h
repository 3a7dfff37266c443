#pragma once

#include <string>
#include <vector>

namespace tarnwick
{

// True when the arguments start the window: none at all, or a single
// quick-switch (.twk) file. Everything else is the command line's.
bool startsWindow(const std::vector<std::string>& args);

} // namespace tarnwick
