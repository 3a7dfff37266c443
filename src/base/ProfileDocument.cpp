#include "base/ProfileDocument.h"

#include "base/Text.h"

#include "base/RegHive.h"
#include "base/TextCodec.h"
#include "base/Utf8.h"

#include <stdexcept>

namespace tarnwick
{
namespace
{

bool sameName(std::string_view a, std::string_view b)
{
    return foldCase(a) == foldCase(b);
}

// Windows drops one pair of enclosing quotes from a value it reads.
bool enclosedInQuotes(std::string_view v)
{
    return v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front();
}

bool holdsLineBreak(std::string_view s)
{
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

void require(bool ok, const char* what)
{
    if (!ok)
        throw std::invalid_argument(what);
}

} // namespace

ProfileDocument ProfileDocument::parse(std::string_view text)
{
    return parseLines(text, false);
}

// With `gb`, each line is decoded on its own and its bytes are kept, so lines
// the program does not change are written back byte for byte, even bytes
// that do not decode. Splitting before decoding is safe: CR and LF never occur
// inside a GB18030 character.
ProfileDocument ProfileDocument::parseLines(std::string_view input, bool gb)
{
    ProfileDocument doc;
    const std::string_view text = input;
    bool inSection = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t nl = text.find('\n', pos);
        Line line;
        if (nl == std::string_view::npos) {
            line.text = text.substr(pos);
            pos = text.size();
        } else {
            std::size_t end = nl;
            line.eol = "\n";
            if (end > pos && text[end - 1] == '\r') {
                --end;
                line.eol = "\r\n";
            }
            line.text = text.substr(pos, end - pos);
            pos = nl + 1;
        }
        if (gb) {
            line.raw = line.text;
            line.text = gbToUtf8(line.text);
        }
        const std::string_view body = trimSpaces(line.text);
        if (body.starts_with('[')) {
            const std::size_t close = body.find(']');
            if (close != std::string_view::npos) {
                line.kind = Kind::Section;
                line.name = trimSpaces(body.substr(1, close - 1));
                inSection = true;
            }
        } else if (inSection && !body.starts_with(';')) {
            const std::size_t eq = body.find('=');
            if (eq != std::string_view::npos && !trimSpaces(body.substr(0, eq)).empty()) {
                line.kind = Kind::Entry;
                line.name = trimSpaces(body.substr(0, eq));
                std::string_view v = trimSpaces(body.substr(eq + 1));
                if (enclosedInQuotes(v))
                    v = v.substr(1, v.size() - 2);
                line.value = v;
            }
        }
        doc.m_lines.push_back(std::move(line));
    }
    return doc;
}

ProfileDocument ProfileDocument::parseBytes(std::string_view bytes)
{
    return parseLines(bytes, true);
}

std::string ProfileDocument::serialize() const
{
    std::string out;
    for (const Line& line : m_lines) {
        out += line.text;
        out += line.eol;
    }
    return out;
}

std::string ProfileDocument::serializeBytes() const
{
    std::string out;
    for (const Line& line : m_lines) {
        out += line.raw ? *line.raw : utf8ToGb(line.text);
        out += line.eol;
    }
    return out;
}

std::optional<std::size_t> ProfileDocument::findSection(std::string_view section) const
{
    const std::string_view wanted = trimSpaces(section);
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].kind == Kind::Section && sameName(m_lines[i].name, wanted))
            return i;
    }
    return std::nullopt;
}

std::optional<std::string> ProfileDocument::value(std::string_view section, std::string_view key) const
{
    const auto start = findSection(section);
    if (!start)
        return std::nullopt;
    const std::string_view wanted = trimSpaces(key);
    for (std::size_t i = *start + 1; i < m_lines.size() && m_lines[i].kind != Kind::Section; ++i) {
        if (m_lines[i].kind == Kind::Entry && sameName(m_lines[i].name, wanted))
            return m_lines[i].value;
    }
    return std::nullopt;
}

std::string ProfileDocument::newline() const
{
    for (const Line& line : m_lines) {
        if (!line.eol.empty())
            return line.eol;
    }
    return "\n";
}

void ProfileDocument::setValue(std::string_view section, std::string_view key, std::string_view value)
{
    require(isValidUtf8(section) && isValidUtf8(key) && isValidUtf8(value), "a profile text must be UTF-8");
    require(!section.empty() && trimSpaces(section) == section && !holdsLineBreak(section)
            && section.find(']') == std::string_view::npos,
        "a section name cannot be held in a profile line");
    require(!key.empty() && trimSpaces(key) == key && !holdsLineBreak(key)
            && key.find('=') == std::string_view::npos && !key.starts_with('[') && !key.starts_with(';'),
        "a key name cannot be held in a profile line");
    require(!holdsLineBreak(value), "a profile value cannot hold a line break");

    // Quote what a reader would otherwise trim or unquote, so the value reads
    // back exactly as written.
    std::string stored(value);
    if (trimSpaces(value) != value || enclosedInQuotes(value))
        stored = '"' + stored + '"';

    const std::string nl = newline();
    const auto start = findSection(section);
    if (!start) {
        if (!m_lines.empty()) {
            if (m_lines.back().eol.empty())
                m_lines.back().eol = nl;
            if (!trimSpaces(m_lines.back().text).empty())
                m_lines.push_back(Line { Kind::Other, "", nl, "", "", std::nullopt });
        }
        m_lines.push_back(Line {
            Kind::Section, "[" + std::string(section) + "]", nl, std::string(section), "", std::nullopt });
        m_lines.push_back(Line { Kind::Entry, std::string(key) + "=" + stored, nl, std::string(key),
            std::string(value), std::nullopt });
        return;
    }
    std::size_t insertAt = *start + 1;
    for (std::size_t i = *start + 1; i < m_lines.size() && m_lines[i].kind != Kind::Section; ++i) {
        Line& line = m_lines[i];
        if (line.kind != Kind::Entry)
            continue;
        if (sameName(line.name, key)) {
            line.text = line.name + "=" + stored;
            line.raw.reset();
            line.value = value;
            return;
        }
        insertAt = i + 1;
    }
    // A last line without a line break gets one before anything follows it.
    if (m_lines[insertAt - 1].eol.empty())
        m_lines[insertAt - 1].eol = nl;
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(insertAt),
        Line { Kind::Entry, std::string(key) + "=" + stored, nl, std::string(key), std::string(value),
            std::nullopt });
}

std::vector<std::string> ProfileDocument::sectionNames() const
{
    std::vector<std::string> names;
    for (const Line& line : m_lines) {
        if (line.kind != Kind::Section)
            continue;
        bool seen = false;
        for (const std::string& n : names)
            seen = seen || sameName(n, line.name);
        if (!seen)
            names.push_back(line.name);
    }
    return names;
}

bool ProfileDocument::eraseSection(std::string_view section)
{
    bool erased = false;
    while (const auto start = findSection(section)) {
        std::size_t end = *start + 1;
        while (end < m_lines.size() && m_lines[end].kind != Kind::Section)
            ++end;
        m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(*start),
            m_lines.begin() + static_cast<std::ptrdiff_t>(end));
        erased = true;
    }
    return erased;
}

} // namespace tarnwick
