#include "app/WindowRules.h"

namespace tarnwick::gui
{

WidthChange toggleWidth(int currentOuterWidth)
{
    if (currentOuterWidth < kWidthThreshold)
        return { kWideOuterWidth, true };
    return { kNarrowOuterWidth, false };
}

ProxyEnables proxyEnables(bool setAgentChecked, bool useAgentChecked)
{
    if (!setAgentChecked)
        return { false, false };
    return { true, useAgentChecked };
}

AddressEnables addressEnables(bool useFixedIp)
{
    if (useFixedIp)
        return { true, false, true };
    return { false, true, false };
}

} // namespace tarnwick::gui
