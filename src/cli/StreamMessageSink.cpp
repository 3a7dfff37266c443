#include "cli/StreamMessageSink.h"

#include <ostream>

namespace tarnwick::cli
{

void StreamMessageSink::show(Kind kind, const std::string& text, const std::string&)
{
    switch (kind) {
    case Kind::Error:
        m_err << "tarnwick: error: ";
        break;
    case Kind::Warning:
        m_err << "tarnwick: warning: ";
        break;
    case Kind::Information:
    case Kind::Plain:
        m_err << "tarnwick: ";
        break;
    }
    m_err << text << '\n';
}

} // namespace tarnwick::cli
