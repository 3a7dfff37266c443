#include "base/StoreFileError.h"

namespace tarnwick
{
namespace
{

std::string describe(const std::string& file, int line, const std::string& problem)
{
    std::string text = "Cannot read the registry store file " + file;
    if (line > 0)
        text += " (line " + std::to_string(line) + ")";
    return text + ": " + problem;
}

} // namespace

StoreFileError::StoreFileError(const std::string& file, int line, const std::string& problem)
    : std::runtime_error(describe(file, line, problem))
    , m_file(file)
    , m_line(line)
{
}

} // namespace tarnwick
