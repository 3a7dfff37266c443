#include "adapters/AdapterTable.h"

#include <stdexcept>

namespace tarnwick
{

bool AdapterTable::append(const AdapterEntry& entry)
{
    if (m_count >= kCapacity)
        return false;
    m_entries[static_cast<std::size_t>(m_count)] = entry;
    ++m_count;
    return true;
}

const AdapterEntry& AdapterTable::at(int index) const
{
    if (!contains(index))
        throw std::out_of_range("adapter index " + std::to_string(index) + " outside the table");
    return m_entries[static_cast<std::size_t>(index)];
}

std::vector<std::string> AdapterTable::listLines() const
{
    std::vector<std::string> lines;
    if (m_count == 0) {
        lines.emplace_back(kNoAdapterLine);
        return lines;
    }
    for (int i = 0; i < m_count; ++i)
        lines.push_back(adapterListLine(at(i)));
    return lines;
}

std::string adapterListLine(const AdapterEntry& entry)
{
    return entry.connectionName + " - " + entry.description;
}

AdapterTable makeAdapterTable(const std::vector<AdapterEntry>& found)
{
    AdapterTable table;
    for (const AdapterEntry& entry : found) {
        if (!table.append(entry))
            break;
    }
    return table;
}

int selectAdapter(const std::string& defaultNetCard, int count)
{
    if (count <= 0)
        return -1;
    // Only plain decimal digits name an index; " 1", "+1", "1x" and overlong
    // texts fall back to the first line like any other unknown text.
    if (defaultNetCard.empty() || defaultNetCard.size() > 4)
        return 0;
    int value = 0;
    for (char c : defaultNetCard) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + (c - '0');
    }
    return value < count ? value : 0;
}

} // namespace tarnwick
