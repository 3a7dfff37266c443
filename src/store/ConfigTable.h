#pragma once

#include "store/ConfigRecord.h"

#include <vector>

namespace tarnwick
{

// The in-memory copy of the loaded records, in file order: entry i is the
// record at position i of the file and item i of the configuration list.
struct ConfigTable {
    std::vector<ConfigRecord> records;

    std::size_t count() const { return records.size(); }
    bool operator==(const ConfigTable&) const = default;
};

} // namespace tarnwick
