#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace tarnwick
{

// A file refused by readRegularFile for what it is, not for an error of the
// system; the caller words the reason for its own kind of file.
class FileRefused : public std::runtime_error
{
public:
    enum class Why {
        NotRegular, // a pipe, a device, a folder, a socket (links are followed)
        TooLarge,
    };
    FileRefused(Why why, const std::string& what)
        : std::runtime_error(what)
        , m_why(why)
    {
    }
    Why why() const { return m_why; }

private:
    Why m_why;
};

// Reads a whole regular file of at most `maxBytes`. The file is opened
// without waiting (a pipe with no writer would block the open) and judged by
// what was opened, so a link swapped in after a check changes nothing; it is
// read only up to the limit whatever size it claims, since /proc files and
// growing files claim less than they give. Throws FileRefused, or
// std::system_error naming the path when it cannot be opened or read.
std::string readRegularFile(const std::filesystem::path& path, std::uintmax_t maxBytes);

} // namespace tarnwick
