#include "dialup/DialStatus.h"

namespace tarnwick
{

namespace
{

std::string formatted(const std::string& templ, const std::string& connectTo)
{
    std::string out = templ;
    if (const auto at = out.find("%s"); at != std::string::npos)
        out.replace(at, 2, connectTo);
    return out;
}

// Which template a state uses: 0, 1, 2, or -1 for none.
int templateOf(int state)
{
    if ((state >= 0 && state <= 4) || (state >= 15 && state <= 18) || state == 20 || state == 21
        || state == 4096 || state == 4098 || state == 8192)
        return 0;
    if (state == 5 || state == 14 || state == 19)
        return 1;
    if ((state >= 6 && state <= 13) || state == 4097 || state == 4099 || state == 8193)
        return 2;
    return -1;
}

} // namespace

std::vector<std::string> defaultStatusTemplates()
{
    return { "Connecting to %s...", "Verifying username and password...",
        "An error occured while trying to connect to %s." };
}

DialStatusText describeStatus(int state, int errorCode, const std::vector<std::string>& templates,
    const std::string& connectTo, const std::function<std::string(int)>& errorText)
{
    if (errorCode != 0)
        return { errorText(errorCode), true };
    const int t = templateOf(state);
    if (t < 0 || static_cast<std::size_t>(t) >= templates.size())
        return { "Something went wrong...", false };
    // Template 1 is shown as it is.
    return { t == 1 ? templates[1] : formatted(templates[static_cast<std::size_t>(t)], connectTo), false };
}

} // namespace tarnwick
