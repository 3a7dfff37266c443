#pragma once

#include <string>
#include <vector>

namespace tarnwick::windows
{

// The strings of an address multi-string value the status shows: in order,
// stopping after `limit` strings, at an empty string, or at a string of one
// character (a lone "0" or similar closes the useful part).
std::vector<std::string> takeMultiStrings(const std::vector<std::string>& strings, std::size_t limit = 3);

} // namespace tarnwick::windows
