#include "store/ConfigSave.h"

#include "store/ConfigFile.h"
#include "store/ConfigList.h"
#include "store/RecordBinding.h"
#include "store/XmlDocument.h"

#include <charconv>
#include <cstdint>
#include <stdexcept>

namespace tarnwick
{
namespace
{

std::optional<std::uint64_t> decimal(std::string_view text)
{
    std::uint64_t v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return v;
}

} // namespace

std::string nextRecordId(XmlNode configBox)
{
    std::uint64_t highest = decimal(configBox.attributeText("LastID")).value_or(0);
    for (XmlNode r = configBox.firstChild(); !r.isNull(); r = r.nextSibling()) {
        if (const auto id = decimal(r.attributeText("ID")); id && *id > highest)
            highest = *id;
    }
    if (highest == UINT64_MAX)
        throw std::overflow_error("no record ID left after " + std::to_string(highest));
    return std::to_string(highest + 1);
}

std::optional<std::string> saveConfig(const std::string& path, const TcpIpConfig& fields,
    std::string_view name, std::optional<std::size_t> overwritePosition, MessageSink& sink)
{
    if (openConfigFileForOperation(path, sink).empty())
        return std::nullopt;
    XmlDocument doc;
    XmlNode box = loadConfigDocument(doc, path);
    XmlNode old;
    if (overwritePosition) {
        old = recordAt(box, *overwritePosition);
        if (old.isNull())
            throw std::out_of_range("no configuration at position " + std::to_string(*overwritePosition));
    }
    const std::string id = nextRecordId(box);
    box.setAttribute("LastID", id);
    XmlNode record = doc.createElement("Record");
    record.setAttribute("ID", id);
    buildRecord(record, name, fields);
    if (overwritePosition)
        box.replaceChild(record, old);
    else
        box.appendChild(record);
    doc.save(path);
    return id;
}

std::string savedMessage(std::string_view shownName)
{
    return "配置[" + std::string(shownName) + "]保存成功!";
}

} // namespace tarnwick
