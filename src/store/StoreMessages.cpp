#include "store/StoreMessages.h"

#include <cerrno>

namespace tarnwick::msg
{

namespace
{

std::string quoted(const std::string& path)
{
    return "“" + path + "”";
}

} // namespace

std::string configFileGone(const std::string& path)
{
    return "配置文件" + quoted(path) + "已不存在，可能已被删除或移走，未作任何更改。";
}

std::string configFileNotRegular(const std::string& path)
{
    return "配置文件" + quoted(path) + "不是普通文件，不能作为配置文件使用，未作任何更改。";
}

std::string configFileReadOnly(const std::string& path)
{
    return "配置文件" + quoted(path) + "是只读的，不能写入，未作任何更改。";
}

std::string configFolderReadOnly(const std::string& path)
{
    return "配置文件" + quoted(path) + "所在的文件夹不允许写入，未作任何更改。";
}

std::string cannotReadConfigFile(const std::string& path, const std::string& detail)
{
    return "无法读取配置文件" + quoted(path) + "，未作任何更改。" + detail;
}

std::string cannotWriteFile(const std::string& path, const std::error_code& reason)
{
    return "无法写入文件" + quoted(path) + "：" + fileErrorReason(reason) + "。原文件未作任何更改。";
}

std::string fileErrorReason(const std::error_code& reason)
{
    if (reason.category() == std::generic_category() || reason.category() == std::system_category()) {
        switch (reason.value()) {
        case EACCES:
        case EPERM:
            return "没有写入权限";
        case EROFS:
            return "文件系统是只读的";
        case ENOSPC:
        case EDQUOT:
            return "磁盘空间不足";
        case ENOENT:
        case ENOTDIR:
            return "文件夹不存在";
        case ENAMETOOLONG:
            return "文件名太长";
        case EISDIR:
            return "这是一个文件夹";
        case EIO:
            return "读写设备出错";
        default:
            break;
        }
    }
    return "系统错误 " + std::to_string(reason.value());
}

} // namespace tarnwick::msg
