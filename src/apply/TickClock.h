#pragma once

#include <chrono>
#include <cstdint>

namespace tarnwick
{

// A millisecond tick count that wraps at 2^32, like the system's; tests put
// in their own to reach the wrap and the time-outs without waiting.
class TickClock
{
public:
    virtual ~TickClock() = default;
    virtual std::uint32_t now() = 0;
};

class SteadyTickClock : public TickClock
{
public:
    std::uint32_t now() override
    {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
        return static_cast<std::uint32_t>(ms.count());
    }
};

} // namespace tarnwick
