#include "cli/AdapterOption.h"

#include <charconv>

namespace tarnwick::cli
{
std::optional<int> parseIndex(const std::string& text)
{
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

bool parseAdapterOption(const std::vector<std::string>& args, std::optional<int>& adapter)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::optional<int> index;
        if (args[i] == "--adapter" && i + 1 < args.size())
            index = parseIndex(args[++i]);
        else if (args[i].rfind("--adapter=", 0) == 0)
            index = parseIndex(args[i].substr(10));
        if (!index)
            return false;
        adapter = index;
    }
    return true;
}

} // namespace tarnwick::cli
