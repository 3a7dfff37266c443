#pragma once

#include <string>

namespace tarnwick
{

// Where the core's user-facing messages go: the window shows them in message
// boxes, the command line prints them to stderr, tests record them.
class MessageSink
{
public:
    enum class Kind { Error, Warning, Information, Plain }; // Plain: no icon

    virtual ~MessageSink() = default;
    // `title` may be empty (the application's title is used then).
    virtual void show(Kind kind, const std::string& text, const std::string& title = {}) = 0;
};

} // namespace tarnwick
