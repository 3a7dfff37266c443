#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace tarnwick
{

// The errors of the registry and profile-file services. what() is exactly the
// text the user sees in the general error message box.
class ServiceError : public std::runtime_error
{
public:
    enum class Kind {
        GetData, // "Failed to get data for '%s'": ReadInteger of a missing value
        DataType, // "Invalid data type for '%s'": ReadInteger of a value of another type
        SetData, // "Failed to set data for '%s'": a refused registry write
        ProfileWrite, // "Unable to write to %s": a refused profile-file write
    };

    // `subject` is the value name, or the file path for ProfileWrite.
    // `detail` says why (for example the store file that could not be read);
    // it is kept apart so the shown text stays exact.
    ServiceError(Kind kind, std::string_view subject, std::string detail = {});

    Kind kind() const { return m_kind; }
    const std::string& detail() const { return m_detail; }

private:
    Kind m_kind;
    std::string m_detail;
};

} // namespace tarnwick
