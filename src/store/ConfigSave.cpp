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
    // The loader refuses a larger ID, so the save must not write one.
    if (highest >= kMaxRecordId)
        throw std::overflow_error("no record ID left after " + std::to_string(highest));
    return std::to_string(highest + 1);
}

SaveResult saveConfig(const std::string& path, const TcpIpConfig& fields, std::string_view name,
    std::optional<std::size_t> overwritePosition, const ConfigTable& listed, MessageSink& sink,
    const ThenRefresh* then)
{
    SaveResult saved;
    saved.result = editConfigFile(
        path, sink,
        [&](XmlDocument& doc, XmlNode box) {
            if (overwritePosition && !isListedRecord(box, listed, *overwritePosition))
                return EditResult::FileChanged;
            // An overwritten configuration stays the same one: quick-switch
            // files name it by its ID.
            if (overwritePosition) {
                saved.id = recordAt(box, *overwritePosition).attributeText("ID");
            } else {
                saved.id = nextRecordId(box);
                box.setAttribute("LastID", saved.id);
            }
            XmlNode record = doc.createElement("Record");
            record.setAttribute("ID", saved.id);
            buildRecord(record, name, fields);
            if (overwritePosition)
                box.replaceChild(record, recordAt(box, *overwritePosition));
            else
                box.appendChild(record);
            return EditResult::Done;
        },
        then);
    if (saved.result != EditResult::Done)
        saved.id.clear();
    return saved;
}

std::string savedMessage(std::string_view shownName)
{
    return "配置[" + std::string(shownName) + "]保存成功!";
}

} // namespace tarnwick
