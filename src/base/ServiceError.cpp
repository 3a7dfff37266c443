#include "base/ServiceError.h"

namespace tarnwick
{
namespace
{

std::string describe(ServiceError::Kind kind, std::string_view subject)
{
    const std::string s(subject);
    switch (kind) {
    case ServiceError::Kind::GetData:
        return "Failed to get data for '" + s + "'";
    case ServiceError::Kind::DataType:
        return "Invalid data type for '" + s + "'";
    case ServiceError::Kind::SetData:
        return "Failed to set data for '" + s + "'";
    case ServiceError::Kind::ProfileWrite:
        return "Unable to write to " + s;
    }
    return s;
}

} // namespace

ServiceError::ServiceError(Kind kind, std::string_view subject, std::string detail)
    : std::runtime_error(describe(kind, subject))
    , m_kind(kind)
    , m_detail(std::move(detail))
{
}

} // namespace tarnwick
