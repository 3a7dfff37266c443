#include "base/RegValue.h"

namespace tarnwick
{

RegValue RegValue::string(std::string_view text)
{
    RegValue v;
    v.type = static_cast<std::uint32_t>(RegType::Sz);
    v.text = text;
    return v;
}

RegValue RegValue::expandString(std::string_view text)
{
    RegValue v;
    v.type = static_cast<std::uint32_t>(RegType::ExpandSz);
    v.text = text;
    return v;
}

RegValue RegValue::dword(std::uint32_t number)
{
    RegValue v;
    v.type = static_cast<std::uint32_t>(RegType::Dword);
    v.number = number;
    return v;
}

RegValue RegValue::multiString(const std::vector<std::string>& strings)
{
    RegValue v;
    v.type = static_cast<std::uint32_t>(RegType::MultiSz);
    for (const std::string& s : strings) {
        v.data += s;
        v.data.push_back('\0');
    }
    v.data.push_back('\0');
    return v;
}

RegValue RegValue::raw(std::uint32_t type, std::string_view data)
{
    // Types with a typed form of their own are held in it, so that equal
    // values compare equal however they were made.
    switch (static_cast<RegType>(type)) {
    case RegType::Sz:
    case RegType::ExpandSz: {
        std::string_view text = data;
        if (!text.empty() && text.back() == '\0')
            text.remove_suffix(1);
        return type == static_cast<std::uint32_t>(RegType::Sz) ? string(text) : expandString(text);
    }
    case RegType::Dword:
        if (data.size() == 4) {
            std::uint32_t n = 0;
            for (int i = 3; i >= 0; --i)
                n = (n << 8) | static_cast<unsigned char>(data[static_cast<std::size_t>(i)]);
            return dword(n);
        }
        break;
    default:
        break;
    }
    RegValue v;
    v.type = type;
    v.data = data;
    return v;
}

std::string RegValue::queryData() const
{
    if (isText())
        return text + '\0';
    if (kind() == RegType::Dword && data.empty()) {
        std::string out(4, '\0');
        for (int i = 0; i < 4; ++i)
            out[static_cast<std::size_t>(i)] = static_cast<char>((number >> (8 * i)) & 0xFF);
        return out;
    }
    return data;
}

std::vector<std::string> splitMultiString(std::string_view data)
{
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (pos < data.size()) {
        const std::size_t nul = data.find('\0', pos);
        if (nul == std::string_view::npos) {
            out.emplace_back(data.substr(pos));
            return out;
        }
        out.emplace_back(data.substr(pos, nul - pos));
        pos = nul + 1;
    }
    // The closing empty string is the terminator, not an element.
    if (!out.empty() && out.back().empty())
        out.pop_back();
    return out;
}

} // namespace tarnwick
