#pragma once

#include "base/MessageSink.h"
#include "base/TcpIpConfig.h"
#include "store/XmlNode.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick
{

// The ID the next saved record gets: LastID + 1. Should LastID be missing,
// not a number, or behind an ID already in the file, the count goes on from
// the highest ID instead, so a new ID never repeats one in use.
std::string nextRecordId(XmlNode configBox);

// Saves the fields as a configuration: a new Record with ID LastID + 1 (also
// stored as LastID) is appended, or, with `overwritePosition`, takes the
// place of the record there. Returns the new ID, or nothing (after the two
// messages) when the file is missing. Throws XmlError when the file does not
// parse and std::out_of_range when there is no record to overwrite; nothing is
// written then.
std::optional<std::string> saveConfig(const std::string& path, const TcpIpConfig& fields,
    std::string_view name, std::optional<std::size_t> overwritePosition, MessageSink& sink);

// The confirmation shown after a save: "配置[" name "]保存成功!".
std::string savedMessage(std::string_view shownName);

} // namespace tarnwick
