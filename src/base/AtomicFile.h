#pragma once

#include <filesystem>
#include <string_view>

namespace tarnwick
{

// Replaces a file's whole content so that a crash or a full disk leaves either
// the old or the new content: the bytes go to a temporary file in the same
// folder, are flushed, and the temporary file is renamed over the target.
// Throws std::system_error naming the path when any step fails; the target is
// then untouched. New files get `mode` (existing files keep theirs).
void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes, unsigned mode = 0644);

// Reads a whole file. Throws std::system_error naming the path.
std::string readWholeFile(const std::filesystem::path& path);

} // namespace tarnwick
