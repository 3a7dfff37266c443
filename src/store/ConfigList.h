#pragma once

#include "base/MessageSink.h"
#include "store/Clock.h"
#include "store/ConfigTable.h"

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick
{

// The LastOpenTime text: local date and time, "2026-12-10 14:03:05".
std::string formatLastOpenTime(std::chrono::system_clock::time_point when);

// Shows "未找到配置文件,请确认！" then "内部错误,参数传输错误！ErrorNo:001" and
// returns an empty path when the file is gone; the path otherwise. Every list
// operation and the save start with it.
std::string openConfigFileForOperation(const std::string& path, MessageSink& sink);

// The list refresh: counts the records, and when there is at least one stamps
// LastOpenTime with the clock's time and saves the file, then reads the
// records. Returns nothing (after the two messages) when the file is missing.
// Throws XmlError when the file does not parse; it is then left as it is.
std::optional<ConfigTable> refreshConfigTable(const std::string& path, MessageSink& sink, const Clock& clock);

// What a refresh would load, without writing anything.
std::optional<ConfigTable> loadConfigTable(const std::string& path, MessageSink& sink);

enum class MoveDirection { Up, Down };

// Swaps the record at `position` with its neighbour (IDs travel with the
// contents). At the top moving up, or at the last loaded record moving down,
// nothing changes; the file is saved either way. False when the file is missing.
bool moveConfig(const std::string& path, std::size_t position, MoveDirection direction, MessageSink& sink);

// Removes the record at `position`; LastID stays, so its ID is never reused.
// False when the file is missing.
bool deleteConfig(const std::string& path, std::size_t position, MessageSink& sink);

// Stores the new name, trimmed, in the record at `position`. A name that is
// blank after trimming changes nothing and writes nothing. False when the
// file is missing.
bool renameConfig(const std::string& path, std::size_t position, std::string_view newName, MessageSink& sink);

} // namespace tarnwick
