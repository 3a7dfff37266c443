#pragma once

#include "base/TcpIpConfig.h"
#include "store/ConfigRecord.h"
#include "store/XmlNode.h"

#include <array>
#include <string_view>

namespace tarnwick
{

// Fills a new Record element (which already carries its ID) from the fields:
// NAME with the name trimmed, then the eighteen values in the saved order,
// texts trimmed of blanks and control characters, switches as "1" or "0".
void buildRecord(XmlNode record, std::string_view name, const TcpIpConfig& fields);

// Two slots of twenty texts, used to swap two records in the file.
using TempRecords = std::array<ConfigRecord, 2>;

// Copies the record's ID and nineteen child texts into a slot (0 or 1).
void setTempRecord(XmlNode record, std::size_t slot, TempRecords& temp);

// Writes a slot back into a record: the ID and each child's text are
// replaced; the element stays where it is. A child the record lacks is added,
// so no text of the slot is lost.
void getTempRecord(XmlNode record, std::size_t slot, const TempRecords& temp);

// Swaps the contents (ID included) of two records in place.
void swapRecords(XmlNode p, XmlNode q);

} // namespace tarnwick
