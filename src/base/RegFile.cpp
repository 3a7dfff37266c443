#include "base/RegFile.h"

#include "base/Text.h"

#include "base/StoreFileError.h"
#include "base/TextCodec.h"
#include "base/Utf8.h"

#include <charconv>
#include <cstdio>

namespace tarnwick
{
namespace
{

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::size_t kWrapColumn = 76;

// A line's text without its blanks, and without the CR of a CR LF line end.
std::string_view trim(std::string_view s)
{
    while (!s.empty() && s.back() == '\r')
        s.remove_suffix(1);
    return trimSpaces(s);
}

class Parser
{
public:
    Parser(std::string_view text, std::string_view fileName)
        : m_text(text)
        , m_file(fileName)
    {
    }

    RegFileContent run()
    {
        bool sawHeader = false;
        while (nextLine()) {
            const std::string_view line = trim(m_line);
            if (line.empty() || line.front() == ';')
                continue;
            if (!sawHeader) {
                if (line != kHeader)
                    fail(line.starts_with("Windows Registry Editor")
                            ? "only REGEDIT4 files are read (save the export in that format)"
                            : "the first line is not \"REGEDIT4\"");
                sawHeader = true;
                continue;
            }
            if (line.front() == '[')
                keyLine(line);
            else if (line.front() == '"' || line.front() == '@')
                valueLine(line);
            else
                fail("neither a key, a value nor a comment");
        }
        if (!sawHeader && !m_text.empty() && m_sawContent)
            fail("the first line is not \"REGEDIT4\"");
        return std::move(m_content);
    }

private:
    [[noreturn]] void fail(const std::string& problem) const
    {
        throw StoreFileError(std::string(m_file), m_lineNo, problem);
    }

    bool nextLine()
    {
        if (m_pos >= m_text.size())
            return false;
        const std::size_t nl = m_text.find('\n', m_pos);
        const std::size_t end = nl == std::string_view::npos ? m_text.size() : nl;
        m_line = m_text.substr(m_pos, end - m_pos);
        m_pos = nl == std::string_view::npos ? m_text.size() : nl + 1;
        ++m_lineNo;
        if (!trim(m_line).empty())
            m_sawContent = true;
        return true;
    }

    void keyLine(std::string_view line)
    {
        const std::size_t close = line.rfind(']');
        if (close != line.size() - 1)
            fail("a key line must end with \"]\"");
        std::string_view full = line.substr(1, close - 1);
        if (full.starts_with('-'))
            fail("key deletions (\"[-...]\") have no place in a store file");
        const std::size_t sep = full.find('\\');
        const auto root = regRootFromName(full.substr(0, sep));
        if (!root)
            fail("unknown root key \"" + std::string(full.substr(0, sep)) + "\"");
        const std::string_view rest
            = sep == std::string_view::npos ? std::string_view {} : full.substr(sep + 1);
        const auto path = RegHive::normalizePath(rest);
        if (!path || (sep != std::string_view::npos && path->empty()) || !isValidUtf8(*path))
            fail("invalid key path");
        m_key = &m_content[*root].create(*path);
    }

    void valueLine(std::string_view line)
    {
        if (!m_key)
            fail("a value before the first key");
        std::size_t pos = 0;
        std::string name;
        if (line.front() == '@') {
            pos = 1;
        } else {
            name = quoted(line, pos);
        }
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
            ++pos;
        if (pos >= line.size() || line[pos] != '=')
            fail("\"=\" expected after the value name");
        ++pos;
        std::string_view data = trim(line.substr(pos));
        if (data.empty())
            fail("the value has no data");
        RegValue value;
        if (data.front() == '"') {
            std::size_t p = 0;
            value = RegValue::string(quoted(data, p));
            if (!trim(data.substr(p)).empty())
                fail("text after the closing quote");
        } else if (data.starts_with("dword:")) {
            value = RegValue::dword(parseDword(data.substr(6)));
        } else if (data.starts_with("hex")) {
            value = hexValue(data);
        } else if (data == "-") {
            fail("value deletions (\"=-\") have no place in a store file");
        } else {
            fail("unknown value data");
        }
        m_key->set(name, value);
    }

    std::string quoted(std::string_view s, std::size_t& pos) const
    {
        if (pos >= s.size() || s[pos] != '"')
            fail("a quoted text expected");
        ++pos;
        std::string out;
        while (pos < s.size()) {
            const char c = s[pos++];
            if (c == '"') {
                if (!isValidUtf8(out))
                    fail("invalid text");
                return out;
            }
            if (c == '\\') {
                if (pos >= s.size())
                    break;
                const char e = s[pos++];
                if (e != '\\' && e != '"')
                    fail("unknown escape \"\\" + std::string(1, e) + "\" in a quoted text");
                out.push_back(e);
            } else {
                out.push_back(c);
            }
        }
        fail("a quoted text lacks its closing quote");
    }

    std::uint32_t parseDword(std::string_view digits) const
    {
        digits = trim(digits);
        std::uint32_t n = 0;
        if (digits.empty() || digits.size() > 8)
            fail("a dword needs 1 to 8 hex digits");
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n, 16);
        if (ec != std::errc() || end != digits.data() + digits.size())
            fail("a dword needs 1 to 8 hex digits");
        return n;
    }

    RegValue hexValue(std::string_view data)
    {
        std::uint32_t type = static_cast<std::uint32_t>(RegType::Binary);
        std::size_t pos = 3;
        if (pos < data.size() && data[pos] == '(') {
            const std::size_t close = data.find(')', pos);
            if (close == std::string_view::npos)
                fail("\"hex(\" lacks its \")\"");
            const std::string_view num = data.substr(pos + 1, close - pos - 1);
            const auto [end, ec] = std::from_chars(num.data(), num.data() + num.size(), type, 16);
            if (num.empty() || ec != std::errc() || end != num.data() + num.size())
                fail("invalid type in \"hex(...)\"");
            pos = close + 1;
        }
        if (pos >= data.size() || data[pos] != ':')
            fail("\":\" expected after \"hex\"");
        std::string hex(data.substr(pos + 1));
        // Continuation lines: a trailing backslash joins the next line.
        while (!trim(hex).empty() && trim(hex).back() == '\\') {
            hex = std::string(trim(hex));
            hex.pop_back();
            if (!nextLine())
                fail("the file ends inside a continued value");
            hex += trim(m_line);
        }
        const std::string bytes = parseHexBytes(hex);
        switch (static_cast<RegType>(type)) {
        case RegType::Sz:
        case RegType::ExpandSz: {
            std::string_view text = bytes;
            if (!text.empty() && text.back() == '\0')
                text.remove_suffix(1);
            // Bytes that are not UTF-8 come from a Windows export, in its code page.
            const std::string utf8 = isValidUtf8(text) ? std::string(text) : gbToUtf8(text);
            return type == static_cast<std::uint32_t>(RegType::Sz) ? RegValue::string(utf8)
                                                                   : RegValue::expandString(utf8);
        }
        default:
            return RegValue::raw(type, bytes);
        }
    }

    std::string parseHexBytes(std::string_view hex) const
    {
        std::string out;
        std::size_t pos = 0;
        hex = trim(hex);
        while (pos < hex.size()) {
            while (pos < hex.size() && (hex[pos] == ' ' || hex[pos] == '\t'))
                ++pos;
            std::size_t end = hex.find(',', pos);
            if (end == std::string_view::npos)
                end = hex.size();
            const std::string_view byte = trim(hex.substr(pos, end - pos));
            unsigned v = 0;
            const auto [p, ec] = std::from_chars(byte.data(), byte.data() + byte.size(), v, 16);
            if (byte.empty() || byte.size() > 2 || ec != std::errc() || p != byte.data() + byte.size())
                fail("invalid hex byte \"" + std::string(byte) + "\"");
            out.push_back(static_cast<char>(v));
            pos = end + 1;
            if (end + 1 == hex.size())
                fail("a hex list ends with \",\"");
        }
        return out;
    }

    std::string_view m_text;
    std::string_view m_file;
    std::size_t m_pos = 0;
    std::string_view m_line;
    int m_lineNo = 0;
    bool m_sawContent = false;
    RegFileContent m_content;
    RegKey* m_key = nullptr;
};

std::string quote(std::string_view s)
{
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"')
            out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

bool fitsQuoted(std::string_view text)
{
    if (!isValidUtf8(text))
        return false;
    for (char c : text) {
        if (c == '\r' || c == '\n' || c == '\0')
            return false;
    }
    return true;
}

// "hex(N):xx,xx,..." wrapped as regedit wraps it: lines up to the wrap column,
// continued with a backslash and indented by two blanks.
void appendHex(std::string& out, std::size_t column, std::string_view prefix, std::string_view bytes)
{
    out += prefix;
    column += prefix.size();
    char buf[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02x", static_cast<unsigned char>(bytes[i]));
        out += buf;
        column += 2;
        if (i + 1 < bytes.size()) {
            out += ',';
            ++column;
            if (column >= kWrapColumn) {
                out += "\\\n  ";
                column = 2;
            }
        }
    }
}

std::string typePrefix(std::uint32_t type)
{
    if (type == static_cast<std::uint32_t>(RegType::Binary))
        return "hex:";
    char buf[32];
    std::snprintf(buf, sizeof buf, "hex(%x):", type);
    return buf;
}

} // namespace

RegFileContent parseRegFile(std::string_view bytes, std::string_view fileName)
{
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF"))
        throw StoreFileError(std::string(fileName), 0, "UTF-16 files are not read; save it as REGEDIT4 text");
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    if (isValidUtf8(bytes))
        return Parser(bytes, fileName).run();
    // An export from a Windows machine, in its ANSI code page.
    const std::string text = gbToUtf8(bytes);
    return Parser(text, fileName).run();
}

std::string formatRegFile(RegRoot root, const RegHive& hive)
{
    std::string out(kHeader);
    out += "\n\n";
    for (const RegKey& key : hive.keys()) {
        out += '[';
        out += regRootName(root);
        if (!key.path.empty()) {
            out += '\\';
            out += key.path;
        }
        out += "]\n";
        for (const auto& [name, value] : key.values) {
            std::string line = name.empty() ? std::string("@") : quote(name);
            line += '=';
            switch (value.kind()) {
            case RegType::Sz:
                if (fitsQuoted(value.text))
                    line += quote(value.text);
                else
                    appendHex(line, line.size(), typePrefix(value.type), value.text + '\0');
                break;
            case RegType::ExpandSz:
                appendHex(line, line.size(), typePrefix(value.type), value.text + '\0');
                break;
            case RegType::Dword: {
                if (!value.data.empty()) { // not 4 bytes long: kept as it came
                    appendHex(line, line.size(), typePrefix(value.type), value.data);
                    break;
                }
                char buf[16];
                std::snprintf(buf, sizeof buf, "dword:%08x", value.number);
                line += buf;
                break;
            }
            default:
                appendHex(line, line.size(), typePrefix(value.type), value.data);
                break;
            }
            out += line;
            out += '\n';
        }
        out += '\n';
    }
    return out;
}

} // namespace tarnwick
