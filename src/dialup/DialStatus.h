#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tarnwick
{

struct DialStatusText {
    std::string text;
    bool error = false;
    bool operator==(const DialStatusText&) const = default;
};

// The three default status templates.
std::vector<std::string> defaultStatusTemplates();

// The text and error flag for a connection state and error code: a non-zero
// code gives the system's text for it; otherwise the state picks a template
// ("%s" becomes `connectTo`), and an unknown state "Something went wrong...".
DialStatusText describeStatus(int state, int errorCode, const std::vector<std::string>& templates,
    const std::string& connectTo, const std::function<std::string(int)>& errorText);

} // namespace tarnwick
