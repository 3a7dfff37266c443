#include "base/Text.h"

namespace tarnwick
{

std::string trimBlanks(std::string_view text)
{
    // Every byte up to the blank is ASCII in UTF-8, so multi-byte characters
    // are never cut.
    const auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= 0x20 || c == '\x7f'; };
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return std::string(text);
}

std::string_view trimSpaces(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

std::string printable(std::string_view text)
{
    static const char* hex = "0123456789abcdef";
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else if (u < 0x20 || u == 0x7f) {
            out += "\\x";
            out += hex[u >> 4];
            out += hex[u & 15];
        } else
            out += c;
    }
    return out;
}

std::string joinWith(const std::vector<std::string>& items, char separator)
{
    std::string out;
    for (const auto& item : items) {
        if (!out.empty())
            out += separator;
        out += item;
    }
    return out;
}

std::vector<std::string> splitNonEmpty(std::string_view text, char separator)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto at = text.find(separator, start);
        const auto end = at == std::string_view::npos ? text.size() : at;
        if (end > start)
            out.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

} // namespace tarnwick
