#pragma once

#include "adapters/StatusTexts.h"

#include <functional>

namespace tarnwick
{

// Tells the local date and time; tests pass a fixed one.
using LocalClock = std::function<LocalDateTime()>;

LocalDateTime systemLocalTime();

} // namespace tarnwick
