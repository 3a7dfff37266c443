#pragma once

#include "base/MessageSink.h"
#include "store/ConfigTable.h"
#include "store/XmlDocument.h"
#include "store/XmlNode.h"

#include <cstddef>
#include <string>

namespace tarnwick
{

// Result of checkConfigFile; the numbers are what `tarnwick check` prints.
enum class ConfigCheck { Valid = 0, Missing = 1, Invalid = 2 };

// The file name itself when a file of that name exists; otherwise shows
// "未找到配置文件,请确认！" and returns empty text.
std::string openConfigFile(const std::string& fileName, MessageSink& sink);

// Missing (after openConfigFile's message) or Invalid when the first line is
// not exactly XmlDocument::kDeclaration (CR, LF or CRLF ends the line), or when
// the rest does not parse into a ConfigBox document or cannot be read: such a
// file would fail every later operation, so it is refused up front.
ConfigCheck checkConfigFile(const std::string& path, MessageSink& sink);

// The start-up's check: true when the file is usable, otherwise shows
// "所指定的配置文件无效或文件已损坏！" (after the not-found message for a
// missing file) and returns false.
bool validateConfigFile(const std::string& path, MessageSink& sink);

// Loads the configuration file; throws XmlError when it does not parse or its
// root is not ConfigBox. Returns the ConfigBox element.
XmlNode loadConfigDocument(XmlDocument& doc, const std::string& path);

// How many records a refresh loads: counting from the first child, up to and
// including the first one whose ID equals the last child's ID. With unique IDs
// that is every record; a repeated ID cuts the list short.
std::size_t recordCount(XmlNode configBox);
std::size_t getRecordCount(const std::string& path);

// The record at a position counted from 0, or a null node past the end.
XmlNode recordAt(XmlNode configBox, std::size_t position);

// The ID attribute and the nineteen children, looked up by name, exactly as
// stored; a missing part reads as empty text.
ConfigRecord readRecord(XmlNode record);

// The first recordCount() records, read in order.
ConfigTable readConfigTable(XmlNode configBox);
// The first `count` records (at most as many as there are), read in order.
ConfigTable readConfigTable(XmlNode configBox, std::size_t count);

} // namespace tarnwick
