#pragma once

namespace tarnwick::msg
{

// The configuration store's fixed user-facing texts.
inline constexpr const char* kConfigNotFound = "未找到配置文件,请确认！";
inline constexpr const char* kInternalError001 = "内部错误,参数传输错误！ErrorNo:001";
inline constexpr const char* kConfigInvalid = "所指定的配置文件无效或文件已损坏！";

} // namespace tarnwick::msg
