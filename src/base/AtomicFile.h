#pragma once

#include <filesystem>
#include <string_view>

namespace tarnwick
{

// Who may read the file once it is written.
enum class FileAccess {
    Shared, // new files get the given mode, existing files keep theirs
    Private, // 0600 whatever the old file had: it may hold secrets
};

// Replaces a file's whole content so that a crash or a full disk leaves either
// the old or the new content: the bytes go to a temporary file in the same
// folder, are flushed, and the temporary file is renamed over the target.
// The temporary file is readable by its owner alone until it is complete.
// Throws std::system_error naming the path when any step fails; the target is
// then untouched.
void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes, unsigned mode = 0644,
    FileAccess access = FileAccess::Shared);

// Removes the temporary files that saves of `path` killed midway left beside
// it. Only while holding the file's lock, when no other save is running.
void removeLeftoverTemporaries(const std::filesystem::path& path);

// Reads a whole file. Throws std::system_error naming the path.
std::string readWholeFile(const std::filesystem::path& path);

} // namespace tarnwick
