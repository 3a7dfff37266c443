#include "shortcuts/QuickSwitchFile.h"

#include "base/AtomicFile.h"
#include "base/BoundedRead.h"
#include "store/XmlDocument.h"
#include "store/XmlError.h"

#include <charconv>
#include <stdexcept>
#include <system_error>

namespace tarnwick
{

namespace
{

constexpr std::string_view kRoot = "SkiffnetQuickSwitch";
// A file name holds at most 255 bytes on the file systems we meet.
constexpr std::size_t kMaxFileNameBytes = 255;

} // namespace

std::string quickSwitchFileName(std::string_view caption)
{
    return "切换到[" + std::string(caption) + "].twk";
}

std::string whyNoFileName(std::string_view caption)
{
    for (const char c : caption) {
        if (c == '/')
            return "名称中含有“/”，不能用作文件名";
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return "名称中含有控制字符，不能用作文件名";
    }
    if (quickSwitchFileName(caption).size() > kMaxFileNameBytes)
        return "名称太长，不能用作文件名";
    return {};
}

void writeQuickSwitchFile(const std::filesystem::path& path, std::string_view cfgId, int cardId)
{
    writeFileAtomically(path,
        std::string(XmlDocument::kDeclaration) + "\r\n<" + std::string(kRoot) + R"( CfgID="" CardID="">)"
            + "</" + std::string(kRoot) + ">\r\n");
    XmlDocument doc;
    doc.load(path);
    XmlNode root = doc.selectSingleNode("/" + std::string(kRoot));
    if (root.isNull())
        throw XmlError(path.string() + ": no " + std::string(kRoot) + " element");
    root.setAttribute("CfgID", cfgId);
    root.setAttribute("CardID", std::to_string(cardId));
    doc.save(path);
}

QuickSwitch readQuickSwitchFile(const std::filesystem::path& path)
{
    XmlDocument doc;
    try {
        const std::string bytes = readRegularFile(path, kMaxQuickSwitchBytes);
        // Refused before the parser sees it: entities are how a small file
        // costs gigabytes.
        if (bytes.find("<!DOCTYPE") != std::string::npos)
            throw XmlError("含有文档类型声明");
        doc.loadXml(bytes, path.string());
    } catch (const FileRefused& e) {
        if (e.why() == FileRefused::Why::NotRegular)
            throw std::runtime_error("不是可读的快速切换文件（不是普通文件）");
        throw std::runtime_error(
            "不是可读的快速切换文件（大于 " + std::to_string(kMaxQuickSwitchBytes / 1024) + " KB）");
    } catch (const std::system_error& e) {
        throw std::runtime_error(std::string("不是可读的快速切换文件（") + e.what() + "）");
    } catch (const XmlError& e) {
        throw std::runtime_error(std::string("不是可读的快速切换文件（") + e.what() + "）");
    }
    const XmlNode root = doc.selectSingleNode("/" + std::string(kRoot));
    if (root.isNull())
        throw std::runtime_error("不是快速切换文件（根元素不是 " + std::string(kRoot) + "）");
    QuickSwitch q;
    q.cfgId = root.attributeText("CfgID");
    if (q.cfgId.empty())
        throw std::runtime_error("快速切换文件没有指明配置（CfgID 为空）");
    const std::string card = root.attributeText("CardID");
    const auto [end, ec] = std::from_chars(card.data(), card.data() + card.size(), q.cardId);
    if (card.empty() || ec != std::errc() || end != card.data() + card.size() || q.cardId < -1)
        throw std::runtime_error("快速切换文件的网卡编号（CardID）无效：“" + card + "”");
    return q;
}

} // namespace tarnwick
