#pragma once

#include <chrono>

namespace tarnwick
{

// Where the store takes the current time from; tests give a fixed one.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual std::chrono::system_clock::time_point now() const = 0;
};

} // namespace tarnwick
