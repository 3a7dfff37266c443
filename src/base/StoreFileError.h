#pragma once

#include <stdexcept>
#include <string>

namespace tarnwick
{

// A registry store file that cannot be read as one: the message names the file
// and, for a syntax error, the line. Such a file is never overwritten.
class StoreFileError : public std::runtime_error
{
public:
    StoreFileError(const std::string& file, int line, const std::string& problem);

    const std::string& file() const { return m_file; }
    int line() const { return m_line; } // 0 when no line is concerned

private:
    std::string m_file;
    int m_line;
};

} // namespace tarnwick
