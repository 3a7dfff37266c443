#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarnwick::gui
{

// True when the arguments start the window: none at all, or a single
// quick-switch (.twk) file. Everything else is the command line's.
bool startsWindow(const std::vector<std::string>& args);

// Runs the window program until its main window closes; returns the exit code.
// `quickSwitchFile` is the .twk file it was started with, if any.
int runGui(int argc, char** argv, const std::optional<std::string>& quickSwitchFile);

} // namespace tarnwick::gui
