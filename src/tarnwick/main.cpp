#include "app/StartsWindow.h"
#include "app/gui/GuiEntry.h"
#include "cli/Cli.h"

#include <iostream>
#include <optional>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (tarnwick::startsWindow(args)) {
        std::optional<std::string> quickSwitch;
        if (!args.empty())
            quickSwitch = args[0];
        return tarnwick::gui::runGui(argc, argv, quickSwitch);
    }
    return tarnwick::cli::run(args, { std::cout, std::cerr });
}
