#include "store/ConfigRecord.h"

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

std::string recordCaption(const ConfigRecord& record, std::size_t position)
{
    const std::string& name = record[ConfigField::Name];
    if (!trimBlanks(name).empty())
        return name;
    return "Config" + std::to_string(position);
}

} // namespace tarnwick
