#pragma once

#include "base/MessageSink.h"
#include "store/ConfigTable.h"
#include "store/XmlDocument.h"
#include "store/XmlNode.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick
{

// Result of checkConfigFile; the numbers are what `tarnwick check` prints.
enum class ConfigCheck { Valid = 0, Missing = 1, Invalid = 2 };

// The file name itself when a file of that name exists; otherwise shows
// "未找到配置文件,请确认！" and returns empty text.
std::string openConfigFile(const std::string& fileName, MessageSink& sink);

// What a check does with records that share an ID: the file works (every
// record is listed) but an ID names more than one configuration.
enum class RepeatedIds {
    Warn, // the start-up: shows repeatedIdsMessage and passes the file
    Refuse, // `tarnwick check`: the file is Invalid
};

// Missing (after openConfigFile's message) or Invalid when loadConfigDocument
// refuses the file (such a file would fail every later operation) or, with
// RepeatedIds::Refuse, when two records share an ID. `why`, when given,
// receives the reason for Invalid.
ConfigCheck checkConfigFile(const std::string& path, MessageSink& sink,
    RepeatedIds repeated = RepeatedIds::Warn, std::string* why = nullptr);

// The start-up's check: true when the file is usable, otherwise shows
// "所指定的配置文件无效或文件已损坏！" (after the not-found message for a
// missing file) and returns false.
bool validateConfigFile(const std::string& path, MessageSink& sink);

// The largest record ID: IDs are whole numbers that fit 32 bits.
inline constexpr std::uint32_t kMaxRecordId = UINT32_MAX;

// An ID as a number: plain decimal digits from 0 to kMaxRecordId; nothing
// for anything else (blanks, signs, empty text, too large).
std::optional<std::uint32_t> recordIdNumber(std::string_view text);

// The one loader of the configuration file, for the check, the list and the
// window alike. Throws XmlError saying why when
// the file is not a regular file or too large, when its first line is not
// exactly XmlDocument::kDeclaration (CR, LF or CRLF ends the line; so every
// other encoding is refused), when it does not parse, when its root is not
// ConfigBox, or when a record's ID is not a recordIdNumber. Returns ConfigBox.
XmlNode loadConfigDocument(XmlDocument& doc, const std::string& path);

// The number of records: every child of ConfigBox, also when IDs repeat.
std::size_t recordCount(XmlNode configBox);
std::size_t getRecordCount(const std::string& path);

// IDs that more than one record carries (by value, as the first of them
// writes it), in the order their second use comes.
std::vector<std::string> repeatedRecordIds(const ConfigTable& table);
// "配置文件中有编号（ID）重复的配置：…", naming the IDs.
std::string repeatedIdsMessage(const std::vector<std::string>& ids);

// The record at a position counted from 0, or a null node past the end.
XmlNode recordAt(XmlNode configBox, std::size_t position);

// The ID attribute and the nineteen children, looked up by name, exactly as
// stored; a missing part reads as empty text.
ConfigRecord readRecord(XmlNode record);

// Every record, read in order.
ConfigTable readConfigTable(XmlNode configBox);
// The first `count` records (at most as many as there are), read in order.
ConfigTable readConfigTable(XmlNode configBox, std::size_t count);

} // namespace tarnwick
