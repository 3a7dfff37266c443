#pragma once

#include "base/MessageSink.h"
#include "base/TcpIpConfig.h"
#include "store/ConfigList.h"
#include "store/ConfigTable.h"
#include "store/XmlNode.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick
{

// The ID the next saved record gets: LastID + 1. Should LastID be missing,
// not a number, or behind an ID already in the file, the count goes on from
// the highest ID instead, so a new ID never repeats one in use. Throws
// std::overflow_error when the next would not fit 32 bits.
std::string nextRecordId(XmlNode configBox);

// What a save did: the new record's ID when it is Done.
struct SaveResult {
    EditResult result = EditResult::FileMissing;
    std::string id;
};

// Saves the fields as a configuration, under the file's lock: a new Record
// with ID LastID + 1 (also stored as LastID) is appended, or, with
// `overwritePosition`, takes the place of the record there, keeping its ID
// (LastID stays); that record must still be the one `listed` shows there
// (FileChanged otherwise, nothing written).
// Throws XmlError when the file does not parse; nothing is written then.
SaveResult saveConfig(const std::string& path, const TcpIpConfig& fields, std::string_view name,
    std::optional<std::size_t> overwritePosition, const ConfigTable& listed, MessageSink& sink,
    const ThenRefresh* then = nullptr);

// The confirmation shown after a save: "配置[" name "]保存成功!".
std::string savedMessage(std::string_view shownName);

} // namespace tarnwick
