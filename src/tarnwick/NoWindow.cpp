#include "app/gui/GuiEntry.h"
#include "cli/Cli.h"

#include <iostream>

namespace tarnwick::gui
{

// This build has no window: starting it says how the command line is used.
int runGui(int, char**, const std::optional<std::string>&)
{
    cli::printUsage(std::cerr);
    return cli::kUsageExit;
}

} // namespace tarnwick::gui
