#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick
{

// A profile (INI) file held as its lines, with the Windows profile rules:
// "[name]" opens a section, "key=value" inside a section is an entry, and
// section and key names are matched without regard to case (blanks around
// them ignored). Every other line (comments, blank lines, anything unknown) is
// kept byte for byte, and so is the order of everything; a document that is
// not changed serializes to exactly the text it was parsed from.
//
// Values are read with blanks around them dropped and one pair of enclosing
// quotes removed, as Windows does; setValue() quotes a value that would
// otherwise lose such characters, so what is written reads back unchanged.
class ProfileDocument
{
public:
    // Parses UTF-8 text (the file's bytes already decoded). Never fails.
    static ProfileDocument parse(std::string_view text);
    std::string serialize() const;
    // The same for a file's bytes as stored (GB2312, read as GB18030), and back.
    static ProfileDocument parseBytes(std::string_view bytes);
    std::string serializeBytes() const;

    // The value of the first matching key in the first matching section.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    // Sets the value, adding the key at the end of the section's entries and
    // the section at the end of the document as needed. Throws
    // std::invalid_argument when a name or the value cannot be held in a line
    // (line breaks, NUL, "]" in a section name, "=" in a key, and so on).
    void setValue(std::string_view section, std::string_view key, std::string_view value);
    // Section names in document order, each name once (as first written).
    std::vector<std::string> sectionNames() const;
    // Removes every section of that name with all its lines; false when none.
    bool eraseSection(std::string_view section);

private:
    enum class Kind { Other, Section, Entry };
    struct Line {
        Kind kind = Kind::Other;
        std::string text; // the whole line without its line break
        std::string eol; // "\n", "\r\n" or "" (last line without a break)
        std::string name; // section or key name, trimmed
        std::string value; // entry value as read (trimmed, unquoted)
        std::optional<std::string> raw; // the line's bytes on disk, while unchanged
    };
    static ProfileDocument parseLines(std::string_view input, bool gb);
    std::optional<std::size_t> findSection(std::string_view section) const;
    std::string newline() const;

    std::vector<Line> m_lines;
};

} // namespace tarnwick
