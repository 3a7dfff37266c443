#include "adapters/windows/MultiStringRule.h"

namespace tarnwick::windows
{

std::vector<std::string> takeMultiStrings(const std::vector<std::string>& strings, std::size_t limit)
{
    std::vector<std::string> out;
    for (const std::string& s : strings) {
        if (out.size() >= limit || s.size() <= 1)
            break;
        out.push_back(s);
    }
    return out;
}

} // namespace tarnwick::windows
