#pragma once

#include "apply/IndicatorState.h"

namespace tarnwick
{

enum class ProbeTarget { Gateway, Dns };

// A window's two probe indicators. Called on the GUI thread only; the window
// repaints the indicator at once, since the probe blocks for up to 2 s next.
class ProbeView
{
public:
    virtual ~ProbeView() = default;
    virtual void showIndicator(ProbeTarget target, const IndicatorState& state) = 0;
};

} // namespace tarnwick
