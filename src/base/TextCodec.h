#pragma once

#include <string>
#include <string_view>

namespace tarnwick
{

// The files the program keeps are GB2312 on disk; everything in memory is
// UTF-8. We encode with GB18030, a superset, so no character is ever lost on
// the way out, and decode with it so files written by us read back whole.
std::string utf8ToGb(std::string_view utf8);
std::string gbToUtf8(std::string_view gb);

// Number of bytes the text takes once encoded for disk.
std::size_t gbLength(std::string_view utf8);

} // namespace tarnwick
