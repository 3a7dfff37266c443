#pragma once

#include <string>

namespace tarnwick
{

// What panels 0 to 3 last showed, to spot a change between two ticks.
struct ShownValues {
    std::string ip;
    std::string mask;
    std::string gateway;
    std::string dns;
    int adapterIndex = 0;

    bool operator==(const ShownValues&) const = default;
};

} // namespace tarnwick
