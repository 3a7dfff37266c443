#include "base/TIniFile.h"

#include <functional>

#include "base/AtomicFile.h"
#include "base/FileLock.h"
#include "base/ProfileDocument.h"
#include "base/ServiceError.h"
#include "base/Utf8.h"

#include <stdexcept>
#include <system_error>

namespace tarnwick
{
namespace
{

// The file's lines, or nothing when it cannot be read (a missing file reads
// as empty, as Windows profiles do).
std::optional<ProfileDocument> readDocument(const std::filesystem::path& file)
{
    try {
        return ProfileDocument::parseBytes(readWholeFile(file));
    } catch (const std::system_error&) {
        return std::nullopt;
    }
}

} // namespace

TIniFile::TIniFile(std::filesystem::path file, unsigned newFileMode)
    : m_file(std::move(file))
    , m_newFileMode(newFileMode)
{
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key, std::string_view def) const
{
    const auto doc = readDocument(m_file);
    const auto value = doc ? doc->value(section, key) : std::nullopt;
    if (!value)
        return std::string(def);
    return std::string(utf8Prefix(*value, kMaxValueLength));
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    modify(true, [&](ProfileDocument& doc) {
        doc.setValue(section, key, value);
        return true;
    });
}

void TIniFile::ReadSections(std::vector<std::string>& sections) const
{
    sections.clear();
    if (const auto doc = readDocument(m_file))
        sections = doc->sectionNames();
}

std::vector<std::string> TIniFile::ReadSections() const
{
    std::vector<std::string> sections;
    ReadSections(sections);
    return sections;
}

void TIniFile::EraseSection(std::string_view section)
{
    modify(false, [&](ProfileDocument& doc) { return doc.eraseSection(section); });
}

void TIniFile::modify(bool createFile, const std::function<bool(ProfileDocument&)>& change)
{
    try {
        // Read again under the lock: another process may have written since.
        FileLock lock(lockFileBeside(m_file));
        std::string bytes;
        try {
            bytes = readWholeFile(m_file);
        } catch (const std::system_error& e) {
            if (e.code() != std::errc::no_such_file_or_directory)
                throw;
            if (!createFile)
                return;
        }
        removeLeftoverTemporaries(m_file);
        ProfileDocument doc = ProfileDocument::parseBytes(bytes);
        // The file holds dial-up passwords: never readable by others.
        if (change(doc))
            writeFileAtomically(m_file, doc.serializeBytes(), m_newFileMode, FileAccess::Private);
    } catch (const std::system_error& e) {
        throw ServiceError(ServiceError::Kind::ProfileWrite, m_file.string(), e.what());
    } catch (const std::invalid_argument& e) {
        throw ServiceError(ServiceError::Kind::ProfileWrite, m_file.string(), e.what());
    }
}

} // namespace tarnwick
