#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarnwick::gui
{

// Runs the window program until its main window closes; returns the exit code.
// `quickSwitchFile` is the .twk file it was started with, if any.
int runGui(int argc, char** argv, const std::optional<std::string>& quickSwitchFile);

} // namespace tarnwick::gui
