#pragma once

#include "base/MessageSink.h"
#include "store/Clock.h"
#include "store/ConfigTable.h"
#include "store/XmlDocument.h"
#include "store/XmlNode.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick
{

// The LastOpenTime text: local date and time, "2026-12-10 14:03:05".
std::string formatLastOpenTime(std::chrono::system_clock::time_point when);

// Says that the file is gone, naming it, and returns an empty path when it
// is; the path otherwise. Every list operation and the save start with it.
std::string openConfigFileForOperation(const std::string& path, MessageSink& sink);

// The list refresh: counts the records, and when there is at least one stamps
// LastOpenTime with the clock's time and saves the file, then reads the
// records. Returns nothing (after the two messages) when the file is missing.
// Throws XmlError when the file does not parse; it is then left as it is.
std::optional<ConfigTable> refreshConfigTable(const std::string& path, MessageSink& sink, const Clock& clock);

// What a refresh would load, without writing anything.
std::optional<ConfigTable> loadConfigTable(const std::string& path, MessageSink& sink);

// What became of an operation on a configuration of the list.
enum class EditResult {
    Done,
    Unchanged, // there was nothing to change; nothing written
    FileMissing, // after the two messages; nothing written
    // The record at the list's position no longer carries the ID the list
    // holds for it (another program changed the file since the last
    // refresh): nothing written, the list must be refreshed.
    FileChanged,
    // The file or its folder is read-only, or not the user's to write: the
    // change was refused with a message, nothing written.
    NotWritable,
};

// Why the file may not be replaced, as the message shown for it; nothing when
// it may. A file or folder without any write permission bit counts as
// read-only also for root, whom the system would let write anyway.
std::optional<std::string> refusedWrite(const std::string& path);

// Writes the records, exactly as listed, into a new configuration file at
// `path` (replacing a file there); LastID becomes the highest ID among them.
// Throws XmlError with a message for the user when it cannot be written.
void writeConfigTableFile(const std::string& path, const ConfigTable& table);

// The list refresh that follows an operation, done on the document the
// operation changed, under the same lock and in the same save: the file ends
// as the operation's save and a refresh would leave it, written once.
struct ThenRefresh {
    const Clock& clock;
    std::optional<ConfigTable>& table; // the records as the refresh reads them
};

// Loads the file, runs `edit` and saves when it returns Done; all under the
// file's lock, so that two Tarnwick processes never lose each other's change.
// A file that may not be written is still read (a refresh lists it without
// renewing its stamp), but an edit is refused: NotWritable, after the message.
// With `then`, the refresh follows when the edit is Done or Unchanged. The
// leftovers of saves killed midway are removed there. Throws XmlError, with a
// message for the user naming the file, when the file cannot be read or
// written; it is then left as it is.
EditResult editConfigFile(const std::string& path, MessageSink& sink,
    const std::function<EditResult(XmlDocument&, XmlNode)>& edit, const ThenRefresh* then = nullptr);

// True when the record at `position` of the file is the one the list shows there.
bool isListedRecord(XmlNode configBox, const ConfigTable& listed, std::size_t position);

enum class MoveDirection { Up, Down };

// Swaps the record at `position` with its neighbour (IDs travel with the
// contents). At the top moving up, or at the last listed record moving down,
// nothing changes; the file is saved either way.
EditResult moveConfig(const std::string& path, const ConfigTable& listed, std::size_t position,
    MoveDirection direction, MessageSink& sink, const ThenRefresh* then = nullptr);

// Removes the record at `position`; LastID stays, so its ID is never reused.
EditResult deleteConfig(const std::string& path, const ConfigTable& listed, std::size_t position,
    MessageSink& sink, const ThenRefresh* then = nullptr);

// Stores the new name, trimmed, in the record at `position`. A name that is
// blank after trimming changes nothing and writes nothing.
EditResult renameConfig(const std::string& path, const ConfigTable& listed, std::size_t position,
    std::string_view newName, MessageSink& sink);

} // namespace tarnwick
