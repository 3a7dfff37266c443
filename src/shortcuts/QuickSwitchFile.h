#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

// The quick-switch file: a configuration named by its record ID and an
// adapter by its position, in a small XML file a double click opens.
namespace tarnwick
{

// A quick-switch file is about 120 bytes; one from mail or a download that
// is much larger is not one of ours, and is refused before it is parsed.
inline constexpr std::uintmax_t kMaxQuickSwitchBytes = 64 * 1024;

// "切换到[caption].twk".
std::string quickSwitchFileName(std::string_view caption);

// Why no file may be named after the caption (a slash, a control character,
// longer than a file name may be); empty when one may.
std::string whyNoFileName(std::string_view caption);

// Writes the file: the declaration and an empty root element as two ASCII
// lines, then that document loaded, its CfgID and CardID set and saved over
// it. Throws XmlError or std::system_error naming the file.
void writeQuickSwitchFile(const std::filesystem::path& path, std::string_view cfgId, int cardId);

struct QuickSwitch {
    std::string cfgId;
    int cardId = -1; // -1: no adapter chosen
};

// Reads one, bounded: refused when it is not a regular file (after links:
// a pipe or a device from an archive would hang or never end), when larger
// than kMaxQuickSwitchBytes (read no further), with a
// document type declaration, with another root element, or without a CfgID
// or a whole-number CardID. Throws std::runtime_error with a message that
// says why (in the program's language).
QuickSwitch readQuickSwitchFile(const std::filesystem::path& path);

} // namespace tarnwick
