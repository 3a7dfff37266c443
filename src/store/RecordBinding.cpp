#include "store/RecordBinding.h"

#include "store/ConfigFile.h"
#include "store/XmlDocument.h"

#include <stdexcept>

namespace tarnwick
{
namespace
{

void appendTextChild(XmlNode parent, std::string_view name, std::string_view text)
{
    XmlNode child = parent.ownerDocument().createElement(name);
    child.setText(text);
    parent.appendChild(child);
}

const char* switchText(bool on)
{
    return on ? "1" : "0";
}

} // namespace

void buildRecord(XmlNode record, std::string_view name, const TcpIpConfig& fields)
{
    appendTextChild(record, "NAME", trimBlanks(name));
    std::size_t i = 1;
    for (const std::string* text : recordOrderTexts(fields))
        appendTextChild(record, kRecordElementNames[i++], trimBlanks(*text));
    appendTextChild(record, "USEIP", switchText(fields.fixedIp));
    appendTextChild(record, "USEDNS", switchText(fields.fixedDns));
    appendTextChild(record, "USEAGENT", switchText(fields.proxyOn));
    appendTextChild(record, "SETAGENT", switchText(fields.proxyTakesPart));
}

void setTempRecord(XmlNode record, std::size_t slot, TempRecords& temp)
{
    temp.at(slot) = readRecord(record);
}

void getTempRecord(XmlNode record, std::size_t slot, const TempRecords& temp)
{
    const ConfigRecord& r = temp.at(slot);
    record.setAttribute("ID", r[ConfigField::Id]);
    for (std::size_t i = 0; i < kRecordElementNames.size(); ++i) {
        const std::string_view name = kRecordElementNames[i];
        XmlNode child = record.selectSingleNode(name);
        if (child.isNull())
            appendTextChild(record, name, r.texts[i + 1]);
        else
            child.setText(r.texts[i + 1]);
    }
}

void swapRecords(XmlNode p, XmlNode q)
{
    TempRecords temp;
    setTempRecord(p, 0, temp);
    setTempRecord(q, 1, temp);
    getTempRecord(q, 0, temp);
    getTempRecord(p, 1, temp);
}

} // namespace tarnwick
