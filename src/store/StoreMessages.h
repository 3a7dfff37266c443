#pragma once

#include <string>
#include <system_error>

namespace tarnwick::msg
{

// The configuration store's fixed user-facing texts.
inline constexpr const char* kConfigNotFound = "未找到配置文件,请确认！";
inline constexpr const char* kConfigInvalid = "所指定的配置文件无效或文件已损坏！";

// The texts below name the file; the window shows them as they are.
// The file an operation was to change is gone.
std::string configFileGone(const std::string& path);
std::string configFileNotRegular(const std::string& path);
// The file or its folder is marked read-only or not the user's to write.
std::string configFileReadOnly(const std::string& path);
std::string configFolderReadOnly(const std::string& path);
// A read or a write that failed, with the system's reason.
std::string cannotReadConfigFile(const std::string& path, const std::string& detail);
std::string cannotWriteFile(const std::string& path, const std::error_code& reason);
// The system's reason for a failed file operation, in the user's language.
std::string fileErrorReason(const std::error_code& reason);

} // namespace tarnwick::msg
