#include "apply/IndicatorState.h"

#include <cstdio>

namespace tarnwick
{

std::string hexColour(const Rgb& c)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", c.r, c.g, c.b);
    return buf;
}

} // namespace tarnwick
