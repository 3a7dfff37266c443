#include "app/StartsWindow.h"

#include <algorithm>
#include <cctype>

namespace tarnwick
{

bool startsWindow(const std::vector<std::string>& args)
{
    if (args.empty())
        return true;
    if (args.size() != 1)
        return false;
    const std::string& a = args[0];
    if (a.size() <= 4)
        return false;
    std::string ext = a.substr(a.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(),
        [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".twk";
}

} // namespace tarnwick
