#include "store/ConfigFile.h"

#include "store/StoreMessages.h"
#include "store/XmlError.h"

#include <charconv>
#include <filesystem>
#include <optional>
#include <unordered_map>
#include <unordered_set>

namespace tarnwick
{
namespace
{

constexpr std::string_view kRoot = "ConfigBox";

bool firstLineIsDeclaration(std::string_view bytes)
{
    if (!bytes.starts_with(XmlDocument::kDeclaration))
        return false;
    // The line must end right there: at a line break or at the end of the file.
    bytes.remove_prefix(XmlDocument::kDeclaration.size());
    return bytes.empty() || bytes.front() == '\n' || bytes.front() == '\r';
}

// An ID of five million digits is named by its start.
std::string shortened(const std::string& text)
{
    constexpr std::size_t kShown = 24;
    return text.size() <= kShown ? text : text.substr(0, kShown) + "…";
}

} // namespace

std::string openConfigFile(const std::string& fileName, MessageSink& sink)
{
    std::error_code ec;
    if (!fileName.empty() && std::filesystem::is_regular_file(fileName, ec))
        return fileName;
    sink.show(MessageSink::Kind::Error, msg::kConfigNotFound);
    return {};
}

ConfigCheck checkConfigFile(
    const std::string& path, MessageSink& sink, RepeatedIds repeated, std::string* why)
{
    if (openConfigFile(path, sink).empty())
        return ConfigCheck::Missing;
    std::vector<std::string> ids;
    try {
        XmlDocument doc;
        ids = repeatedRecordIds(readConfigTable(loadConfigDocument(doc, path)));
    } catch (const XmlError& e) {
        if (why)
            *why = e.what();
        return ConfigCheck::Invalid;
    }
    if (!ids.empty()) {
        if (repeated == RepeatedIds::Refuse) {
            if (why)
                *why = repeatedIdsMessage(ids);
            return ConfigCheck::Invalid;
        }
        sink.show(MessageSink::Kind::Warning, repeatedIdsMessage(ids));
    }
    return ConfigCheck::Valid;
}

bool validateConfigFile(const std::string& path, MessageSink& sink)
{
    if (checkConfigFile(path, sink) == ConfigCheck::Valid)
        return true;
    sink.show(MessageSink::Kind::Error, msg::kConfigInvalid);
    return false;
}

std::optional<std::uint32_t> recordIdNumber(std::string_view text)
{
    std::uint32_t v = 0;
    if (text.empty() || text.front() < '0' || text.front() > '9')
        return std::nullopt;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return v;
}

XmlNode loadConfigDocument(XmlDocument& doc, const std::string& path)
{
    const std::string bytes = XmlDocument::readFile(path);
    if (!firstLineIsDeclaration(bytes))
        throw XmlError(path + "：第一行不是 " + std::string(XmlDocument::kDeclaration)
            + "，配置文件须以 GB2312 编码保存");
    doc.loadXml(bytes, path);
    const XmlNode box = doc.selectSingleNode("/ConfigBox");
    if (box.isNull())
        throw XmlError("cannot read " + path + ": the root element is not " + std::string(kRoot));
    std::size_t position = 1;
    for (XmlNode r = box.firstChild(); !r.isNull(); r = r.nextSibling(), ++position) {
        const std::optional<std::string> id = r.attribute("ID");
        if (!id)
            throw XmlError(path + "：第 " + std::to_string(position) + " 条配置没有编号（ID）");
        if (!recordIdNumber(*id))
            throw XmlError(path + "：第 " + std::to_string(position) + " 条配置的编号（ID）“" + shortened(*id)
                + "”不是 0 到 " + std::to_string(kMaxRecordId) + " 之间的整数");
    }
    return box;
}

std::size_t recordCount(XmlNode configBox)
{
    std::size_t n = 0;
    for (XmlNode cur = configBox.firstChild(); !cur.isNull(); cur = cur.nextSibling())
        ++n;
    return n;
}

std::vector<std::string> repeatedRecordIds(const ConfigTable& table)
{
    std::unordered_map<std::uint32_t, const std::string*> first;
    std::unordered_set<std::uint32_t> named;
    std::vector<std::string> ids;
    for (const ConfigRecord& r : table.records) {
        const std::optional<std::uint32_t> id = recordIdNumber(r[ConfigField::Id]);
        if (!id)
            continue;
        const auto [it, isNew] = first.emplace(*id, &r[ConfigField::Id]);
        if (!isNew && named.insert(*id).second)
            ids.push_back(*it->second);
    }
    return ids;
}

std::string repeatedIdsMessage(const std::vector<std::string>& ids)
{
    std::string list;
    for (const std::string& id : ids)
        list += (list.empty() ? "" : "、") + id;
    return "配置文件中有编号（ID）重复的配置：" + list
        + "。按编号切换时只会用到其中的第一条，请删除多余的配置。";
}

std::size_t getRecordCount(const std::string& path)
{
    XmlDocument doc;
    return recordCount(loadConfigDocument(doc, path));
}

XmlNode recordAt(XmlNode configBox, std::size_t position)
{
    XmlNode cur = configBox.firstChild();
    for (std::size_t i = 0; i < position && !cur.isNull(); ++i)
        cur = cur.nextSibling();
    return cur;
}

ConfigRecord readRecord(XmlNode record)
{
    ConfigRecord r;
    r[ConfigField::Id] = record.attributeText("ID");
    // One pass over the children instead of one search per name; the first
    // child of a name wins, as a lookup by name would find it. The children
    // are normally in the saved order, so the search starts at the next name.
    constexpr std::size_t kNames = kRecordElementNames.size();
    std::array<bool, kNames> seen {};
    std::size_t hint = 0;
    for (XmlNode c = record.firstChild(); !c.isNull(); c = c.nextSibling()) {
        const std::string_view name = c.nameView();
        for (std::size_t k = 0; k < kNames; ++k) {
            const std::size_t i = (hint + k) % kNames;
            if (kRecordElementNames[i] == name) {
                if (!seen[i]) {
                    seen[i] = true;
                    r.texts[i + 1] = c.text();
                }
                hint = i + 1;
                break;
            }
        }
    }
    return r;
}

ConfigTable readConfigTable(XmlNode configBox)
{
    return readConfigTable(configBox, recordCount(configBox));
}

ConfigTable readConfigTable(XmlNode configBox, std::size_t n)
{
    ConfigTable table;
    table.records.reserve(n);
    XmlNode cur = configBox.firstChild();
    for (std::size_t i = 0; i < n && !cur.isNull(); ++i, cur = cur.nextSibling())
        table.records.push_back(readRecord(cur));
    return table;
}

} // namespace tarnwick
