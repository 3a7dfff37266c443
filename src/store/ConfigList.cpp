#include "store/ConfigList.h"

#include "store/ConfigFile.h"
#include "store/RecordBinding.h"
#include "store/StoreMessages.h"
#include "store/XmlDocument.h"

#include <ctime>

namespace tarnwick
{

std::string formatLastOpenTime(std::chrono::system_clock::time_point when)
{
    const std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm local {};
    localtime_r(&t, &local);
    char buf[32];
    const std::size_t n = std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &local);
    return std::string(buf, n);
}

std::string openConfigFileForOperation(const std::string& path, MessageSink& sink)
{
    std::string found = openConfigFile(path, sink);
    if (found.empty())
        sink.show(MessageSink::Kind::Error, msg::kInternalError001);
    return found;
}

std::optional<ConfigTable> refreshConfigTable(const std::string& path, MessageSink& sink, const Clock& clock)
{
    if (openConfigFileForOperation(path, sink).empty())
        return std::nullopt;
    // One load serves the count, the stamp and the reading: the file is the
    // same for all three.
    XmlDocument doc;
    XmlNode box = loadConfigDocument(doc, path);
    const std::size_t n = recordCount(box);
    if (n > 0) {
        box.setAttribute("LastOpenTime", formatLastOpenTime(clock.now()));
        doc.save(path);
    }
    return readConfigTable(box, n);
}

std::optional<ConfigTable> loadConfigTable(const std::string& path, MessageSink& sink)
{
    if (openConfigFileForOperation(path, sink).empty())
        return std::nullopt;
    XmlDocument doc;
    return readConfigTable(loadConfigDocument(doc, path));
}

bool moveConfig(const std::string& path, std::size_t position, MoveDirection direction, MessageSink& sink)
{
    if (openConfigFileForOperation(path, sink).empty())
        return false;
    XmlDocument doc;
    XmlNode box = loadConfigDocument(doc, path);
    const std::size_t count = recordCount(box);
    if (position < count) {
        const bool up = direction == MoveDirection::Up;
        if (up ? position > 0 : position + 1 < count) {
            XmlNode p = recordAt(box, position);
            swapRecords(p, up ? p.previousSibling() : p.nextSibling());
        }
    }
    doc.save(path);
    return true;
}

bool deleteConfig(const std::string& path, std::size_t position, MessageSink& sink)
{
    if (openConfigFileForOperation(path, sink).empty())
        return false;
    XmlDocument doc;
    XmlNode box = loadConfigDocument(doc, path);
    if (XmlNode record = recordAt(box, position); !record.isNull())
        box.removeChild(record);
    doc.save(path);
    return true;
}

bool renameConfig(const std::string& path, std::size_t position, std::string_view newName, MessageSink& sink)
{
    const std::string name = trimBlanks(newName);
    if (name.empty())
        return true;
    if (openConfigFileForOperation(path, sink).empty())
        return false;
    XmlDocument doc;
    XmlNode box = loadConfigDocument(doc, path);
    XmlNode record = recordAt(box, position);
    if (record.isNull())
        return true;
    XmlNode nameNode = record.selectSingleNode("NAME");
    if (nameNode.isNull()) {
        nameNode = doc.createElement("NAME");
        record.appendChild(nameNode);
    }
    nameNode.setText(name);
    doc.save(path);
    return true;
}

} // namespace tarnwick
