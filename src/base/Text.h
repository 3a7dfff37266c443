#pragma once

#include <string>
#include <string_view>
#include <vector>

// The text helpers every subsystem shares.
namespace tarnwick
{

// Without leading and trailing blanks and control characters (bytes up to
// 0x20, and DEL): how the window's fields and the stored texts are trimmed.
// Multi-byte UTF-8 characters are never cut.
std::string trimBlanks(std::string_view text);

// Without leading and trailing spaces and tabs only, as the profile and
// registry files read their names and values.
std::string_view trimSpaces(std::string_view text);

// The text with control characters escaped (\n, \r, \t, \x1b, ...), safe
// to print on a terminal or inside a one-line message.
std::string printable(std::string_view text);

// The items with `separator` between them: {"a", "b"} -> "a,b".
std::string joinWith(const std::vector<std::string>& items, char separator);

// The non-empty parts between separators: "a,,b," -> {"a", "b"}.
std::vector<std::string> splitNonEmpty(std::string_view text, char separator);

} // namespace tarnwick
