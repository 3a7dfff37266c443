#include "store/ConfigFile.h"

#include "store/StoreMessages.h"
#include "store/XmlError.h"

#include <filesystem>
#include <fstream>
#include <optional>

namespace tarnwick
{
namespace
{

constexpr std::string_view kRoot = "ConfigBox";

bool firstLineIsDeclaration(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::string head(XmlDocument::kDeclaration.size() + 1, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    if (std::string_view(head).substr(0, XmlDocument::kDeclaration.size()) != XmlDocument::kDeclaration)
        return false;
    // The line must end right there: at a line break or at the end of the file.
    return head.size() == XmlDocument::kDeclaration.size() || head.back() == '\n' || head.back() == '\r';
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

ConfigCheck checkConfigFile(const std::string& path, MessageSink& sink)
{
    if (openConfigFile(path, sink).empty())
        return ConfigCheck::Missing;
    if (!firstLineIsDeclaration(path))
        return ConfigCheck::Invalid;
    try {
        XmlDocument doc;
        loadConfigDocument(doc, path);
    } catch (const XmlError&) {
        return ConfigCheck::Invalid;
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

XmlNode loadConfigDocument(XmlDocument& doc, const std::string& path)
{
    doc.load(path);
    const XmlNode box = doc.selectSingleNode("/ConfigBox");
    if (box.isNull())
        throw XmlError("cannot read " + path + ": the root element is not " + std::string(kRoot));
    return box;
}

std::size_t recordCount(XmlNode configBox)
{
    if (!configBox.hasChildNodes())
        return 0;
    const std::optional<std::string> lastId = configBox.lastChild().attribute("ID");
    std::size_t n = 1;
    // Ends at the last child at the latest, which carries lastId.
    for (XmlNode cur = configBox.firstChild(); cur.attribute("ID") != lastId; cur = cur.nextSibling())
        ++n;
    return n;
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
