#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick
{

class ProfileDocument;

// The profile-file wrapper: created on the full path of one file; every call
// reads the file (GB2312 on disk, UTF-8 here) and a write replaces it whole
// through a temporary file under an exclusive lock, so nothing is cached and
// two writers never lose each other's keys. See ProfileDocument for the rules.
class TIniFile
{
public:
    // The longest text ReadString hands back, in characters.
    static constexpr std::size_t kMaxValueLength = 2047;

    // `newFileMode` is the mode of the file when a write creates it.
    explicit TIniFile(std::filesystem::path file, unsigned newFileMode = 0600);

    const std::filesystem::path& FileName() const { return m_file; }

    // The stored text (at most kMaxValueLength characters), or `def` when the
    // file, the section or the key is missing or the file cannot be read.
    std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
    // Stores the text, creating the file, the section and the key as needed.
    // Throws ServiceError ProfileWrite ("Unable to write to <path>") when the
    // file cannot be written or the text cannot be held in a profile line.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    // Empties `sections`, then fills it with every section name in file order.
    void ReadSections(std::vector<std::string>& sections) const;
    std::vector<std::string> ReadSections() const;
    // Removes the section and all its keys. Throws like WriteString.
    void EraseSection(std::string_view section);

private:
    // The locked read-change-write of every writer; `change` says whether it
    // changed anything. A missing file is created only when `createFile`.
    void modify(bool createFile, const std::function<bool(ProfileDocument&)>& change);

    std::filesystem::path m_file;
    unsigned m_newFileMode;
};

} // namespace tarnwick
