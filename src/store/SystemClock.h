#pragma once

#include "store/Clock.h"

namespace tarnwick
{

class SystemClock final : public Clock
{
public:
    std::chrono::system_clock::time_point now() const override { return std::chrono::system_clock::now(); }
};

} // namespace tarnwick
