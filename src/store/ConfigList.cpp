#include "store/ConfigList.h"

#include "store/ConfigFile.h"
#include "store/RecordBinding.h"
#include "store/StoreMessages.h"
#include "store/XmlDocument.h"
#include "store/XmlError.h"

#include "store/ConfigSave.h"

#include "base/AtomicFile.h"
#include "base/FileLock.h"
#include "base/Text.h"

#include <ctime>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

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
    std::error_code ec;
    if (!path.empty() && std::filesystem::is_regular_file(path, ec))
        return path;
    // A pipe or a device under the name is there, but no file of ours.
    const bool there = !path.empty() && std::filesystem::exists(path, ec);
    sink.show(MessageSink::Kind::Error, there ? msg::configFileNotRegular(path) : msg::configFileGone(path));
    return {};
}

std::optional<std::string> refusedWrite(const std::string& path)
{
    struct stat st {
    };
    if (::stat(path.c_str(), &st) == 0 && ((st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0))
        return msg::configFileReadOnly(path);
    // The new content is renamed into place: the folder must take it.
    const std::filesystem::path p(path);
    const std::string dir = p.has_parent_path() ? p.parent_path().string() : std::string(".");
    if (::stat(dir.c_str(), &st) == 0
        && ((st.st_mode & 0222) == 0 || ::access(dir.c_str(), W_OK | X_OK) != 0))
        return msg::configFolderReadOnly(path);
    return std::nullopt;
}

void writeConfigTableFile(const std::string& path, const ConfigTable& table)
{
    XmlDocument doc;
    XmlNode box = doc.appendChild(doc.createElement("ConfigBox"));
    box.setAttribute("LastID", "0");
    TempRecords slots;
    for (const ConfigRecord& r : table.records) {
        XmlNode record = box.appendChild(doc.createElement("Record"));
        slots[0] = r;
        getTempRecord(record, 0, slots);
    }
    // Past every listed ID, so a later save never repeats one.
    box.setAttribute("LastID", std::to_string(std::stoull(nextRecordId(box)) - 1));
    doc.save(path);
}

std::optional<ConfigTable> refreshConfigTable(const std::string& path, MessageSink& sink, const Clock& clock)
{
    std::optional<ConfigTable> table;
    const ThenRefresh then { clock, table };
    editConfigFile(
        path, sink, [](XmlDocument&, XmlNode) { return EditResult::Unchanged; }, &then);
    return table;
}

std::optional<ConfigTable> loadConfigTable(const std::string& path, MessageSink& sink)
{
    if (openConfigFileForOperation(path, sink).empty())
        return std::nullopt;
    XmlDocument doc;
    return readConfigTable(loadConfigDocument(doc, path));
}

EditResult editConfigFile(const std::string& path, MessageSink& sink,
    const std::function<EditResult(XmlDocument&, XmlNode)>& edit, const ThenRefresh* then)
{
    if (openConfigFileForOperation(path, sink).empty())
        return EditResult::FileMissing;
    const std::optional<std::string> refused = refusedWrite(path);
    std::optional<FileLock> lock;
    std::optional<std::error_code> lockFailed;
    try {
        lock.emplace(lockFileBeside(path));
    } catch (const std::system_error& e) {
        // Without the lock nothing is written; the file can still be read.
        lockFailed = e.code();
    }
    // No other save of this file runs now: what killed ones left may go.
    if (lock)
        removeLeftoverTemporaries(path);
    XmlDocument doc;
    XmlNode box;
    try {
        box = loadConfigDocument(doc, path);
    } catch (const XmlError& e) {
        throw XmlError(msg::cannotReadConfigFile(path, e.what()));
    }
    const EditResult result = edit(doc, box);
    if (result == EditResult::Done && refused) {
        sink.show(MessageSink::Kind::Error, *refused);
        return EditResult::NotWritable;
    }
    if (result == EditResult::Done && lockFailed)
        throw XmlError(msg::cannotWriteFile(path, *lockFailed));
    bool changed = result == EditResult::Done;
    if (then && (result == EditResult::Done || result == EditResult::Unchanged)) {
        // One pass serves the count, the stamp and the reading.
        const std::size_t n = recordCount(box);
        then->table = readConfigTable(box, n);
        if (n > 0 && !refused && !lockFailed) {
            box.setAttribute("LastOpenTime", formatLastOpenTime(then->clock.now()));
            changed = true;
        }
    }
    if (changed) {
        try {
            doc.save(path);
        } catch (const XmlError&) {
            // Only the stamp was to be written, which nothing reads: the
            // list stands without it.
            if (result == EditResult::Done)
                throw;
        }
    }
    return result;
}

bool isListedRecord(XmlNode configBox, const ConfigTable& listed, std::size_t position)
{
    if (position >= listed.count())
        return false;
    const XmlNode record = recordAt(configBox, position);
    return !record.isNull() && record.attributeText("ID") == listed.records[position][ConfigField::Id];
}

EditResult moveConfig(const std::string& path, const ConfigTable& listed, std::size_t position,
    MoveDirection direction, MessageSink& sink, const ThenRefresh* then)
{
    return editConfigFile(
        path, sink,
        [&](XmlDocument&, XmlNode box) {
            if (!isListedRecord(box, listed, position))
                return EditResult::FileChanged;
            const bool up = direction == MoveDirection::Up;
            if (up ? position == 0 : position + 1 >= listed.count())
                return EditResult::Done;
            const std::size_t other = up ? position - 1 : position + 1;
            if (!isListedRecord(box, listed, other))
                return EditResult::FileChanged;
            swapRecords(recordAt(box, position), recordAt(box, other));
            return EditResult::Done;
        },
        then);
}

EditResult deleteConfig(const std::string& path, const ConfigTable& listed, std::size_t position,
    MessageSink& sink, const ThenRefresh* then)
{
    return editConfigFile(
        path, sink,
        [&](XmlDocument&, XmlNode box) {
            if (!isListedRecord(box, listed, position))
                return EditResult::FileChanged;
            box.removeChild(recordAt(box, position));
            return EditResult::Done;
        },
        then);
}

EditResult renameConfig(const std::string& path, const ConfigTable& listed, std::size_t position,
    std::string_view newName, MessageSink& sink)
{
    const std::string name = trimBlanks(newName);
    if (name.empty())
        return EditResult::Unchanged;
    return editConfigFile(path, sink, [&](XmlDocument& doc, XmlNode box) {
        if (!isListedRecord(box, listed, position))
            return EditResult::FileChanged;
        XmlNode record = recordAt(box, position);
        XmlNode nameNode = record.selectSingleNode("NAME");
        if (nameNode.isNull()) {
            nameNode = doc.createElement("NAME");
            record.appendChild(nameNode);
        }
        nameNode.setText(name);
        return EditResult::Done;
    });
}

} // namespace tarnwick
