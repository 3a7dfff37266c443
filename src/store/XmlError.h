#pragma once

#include <stdexcept>
#include <string>

namespace tarnwick
{

// Raised by the XML document service: a file that does not parse, a save that
// cannot be written, or an operation on a node that is not there. The text is
// meant for the user (the window shows it in a message box).
class XmlError : public std::runtime_error
{
public:
    explicit XmlError(const std::string& what)
        : std::runtime_error(what)
    {
    }
};

} // namespace tarnwick
