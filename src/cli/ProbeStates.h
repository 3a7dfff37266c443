#pragma once

#include "apply/IndicatorState.h"
#include "apply/ProbeView.h"

#include <ostream>

namespace tarnwick::cli
{

// Keeps the last state of each indicator, as the window would show it, and
// prints both as "gateway|dns TAB text TAB #rrggbb".
class ProbeStates : public ProbeView
{
public:
    void showIndicator(ProbeTarget target, const IndicatorState& state) override
    {
        (target == ProbeTarget::Gateway ? gateway : dns) = state;
    }
    void print(std::ostream& out) const
    {
        out << "gateway\t" << gateway.text << '\t' << hexColour(gateway.colour) << '\n';
        out << "dns\t" << dns.text << '\t' << hexColour(dns.colour) << '\n';
    }
    IndicatorState gateway = indicator::reset();
    IndicatorState dns = indicator::reset();
};

} // namespace tarnwick::cli
