#pragma once

#include "adapters/AdapterEntry.h"

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace tarnwick
{

// The adapters found at start, in the order found; an adapter is named
// everywhere by its index here, which is also its line in the adapter list.
// The room is fixed: adapters beyond it are ignored (first come, first kept),
// so indexes stored in settings and quick-switch files keep their meaning.
class AdapterTable
{
public:
    static constexpr int kCapacity = 10;

    // False (and nothing stored) once the table is full.
    bool append(const AdapterEntry& entry);

    int count() const { return m_count; }
    bool contains(int index) const { return index >= 0 && index < m_count; }
    // Precondition: contains(index).
    const AdapterEntry& at(int index) const;

    // The adapter list's lines: one per adapter, or the single "no adapter"
    // line, which names no adapter.
    std::vector<std::string> listLines() const;

private:
    std::array<AdapterEntry, kCapacity> m_entries;
    int m_count = 0;
};

// connection name + " - " + description
std::string adapterListLine(const AdapterEntry& entry);

// The list's only line when no adapter was found.
inline constexpr const char* kNoAdapterLine = "没找到网卡";

// Fills a table from discovered adapters in their order; the ones past the
// room are dropped.
AdapterTable makeAdapterTable(const std::vector<AdapterEntry>& found);

// The line selected at start: the stored "DefaultNetCard" text when it is the
// plain decimal index of a found adapter, else line 0; -1 (nothing selected)
// when no adapter was found.
int selectAdapter(const std::string& defaultNetCard, int count);

} // namespace tarnwick
