#pragma once

#include "adapters/AdapterEntry.h"

#include <vector>

namespace tarnwick
{

// Where discovery finds the present, active adapters: the registry walk on
// Windows, rtnetlink on Linux. Discovery never reports an error: what cannot
// be read is simply not found.
class AdapterSource
{
public:
    virtual ~AdapterSource() = default;
    // In a stable order; may return more than the table's room.
    virtual std::vector<AdapterEntry> discover() = 0;
};

} // namespace tarnwick
