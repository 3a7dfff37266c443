#pragma once

#include "base/MessageSink.h"

#include <iosfwd>

namespace tarnwick::cli
{

// The command line's message sink: one line per message on the error stream.
class StreamMessageSink : public MessageSink
{
public:
    explicit StreamMessageSink(std::ostream& err)
        : m_err(err)
    {
    }
    void show(Kind kind, const std::string& text, const std::string& title = {}) override;

private:
    std::ostream& m_err;
};

} // namespace tarnwick::cli
