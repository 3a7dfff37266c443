#pragma once

#include "apply/IndicatorState.h"

class QLabel;

namespace tarnwick
{

class ProbeIndicator;

// One result of the network test as a window shows it: the indicator circle
// and the round-trip text beside it. Each window places the two in its own
// layout; what they show is written here only.
class ProbeResult
{
public:
    ProbeResult(ProbeIndicator& circle, QLabel& text)
        : m_circle(&circle)
        , m_text(&text)
    {
    }
    // Shows `state` at once: the worker may block for seconds right after.
    void show(const IndicatorState& state);
    // "----" on white: no test has run.
    void reset() { show(indicator::reset()); }

private:
    ProbeIndicator* m_circle;
    QLabel* m_text;
};

} // namespace tarnwick
