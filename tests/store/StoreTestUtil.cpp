#include "StoreTestUtil.h"

#include "TestPaths.h"
#include "base/AtomicFile.h"
#include "base/TextCodec.h"
#include "store/ConfigFile.h"
#include "store/XmlDocument.h"

#include <algorithm>
#include <fstream>
#include <iconv.h>
#include <stdexcept>

namespace tarnwick::test
{

void RecordingSink::show(Kind kind, const std::string& text, const std::string&)
{
    messages.emplace_back(kind, text);
}

std::vector<std::string> RecordingSink::texts() const
{
    std::vector<std::string> out;
    for (const auto& m : messages)
        out.push_back(m.second);
    return out;
}

std::string readBytes(const std::filesystem::path& path)
{
    return readWholeFile(path);
}

void writeBytes(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

std::filesystem::path dataFile(const std::string& name)
{
    return std::filesystem::path(kDataDir) / name;
}

std::filesystem::path copyFixture(const std::string& name, const std::filesystem::path& dir)
{
    const auto to = dir / name;
    std::filesystem::copy_file(dataFile(name), to, std::filesystem::copy_options::overwrite_existing);
    return to;
}

ConfigRecord sampleRecord(const std::string& id, const std::string& name)
{
    ConfigRecord r;
    r[ConfigField::Id] = id;
    r[ConfigField::Name] = name;
    for (std::size_t i = 2; i < 16; ++i)
        r.texts[i] = "10." + id + "." + std::to_string(i) + ".1";
    r[ConfigField::UseIp] = "1";
    r[ConfigField::UseDns] = "0";
    r[ConfigField::UseAgent] = id;
    r[ConfigField::SetAgent] = "s" + id;
    return r;
}

namespace
{
std::string escaped(const std::string& s)
{
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}
} // namespace

std::string configFileBytes(const std::string& lastId, const std::vector<ConfigRecord>& records)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"GB2312\"?>\n<ConfigBox LastID=\"" + lastId
        + "\" LastOpenTime=\"2026-01-01 00:00:00\">\n";
    for (const ConfigRecord& r : records) {
        xml += "  <Record ID=\"" + escaped(r[ConfigField::Id]) + "\">\n";
        for (std::size_t i = 0; i < kRecordElementNames.size(); ++i) {
            const std::string n(kRecordElementNames[i]);
            xml += "    <" + n + ">" + escaped(r.texts[i + 1]) + "</" + n + ">\n";
        }
        xml += "  </Record>\n";
    }
    xml += "</ConfigBox>\n";
    return utf8ToGb(xml);
}

namespace
{

std::string oneRecordWithId(const std::string& id)
{
    ConfigRecord r = sampleRecord("1", "x");
    r[ConfigField::Id] = id;
    return configFileBytes("1", { r });
}

// Little-endian UTF-16 with its byte-order mark; the text is ASCII.
std::string utf16le(const std::string& ascii)
{
    std::string out = "\xFF\xFE";
    for (const char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

} // namespace

std::vector<VerdictCase> verdictCases()
{
    return {
        { "good file", configFileBytes("3", { sampleRecord("1", "a"), sampleRecord("2", "b") }), true, "",
            "" },
        { "ID 0", oneRecordWithId("0"), true, "", "" },
        { "largest 32-bit ID", oneRecordWithId("4294967295"), true, "", "" },
        { "UTF-16 with a byte-order mark",
            utf16le("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<ConfigBox LastID=\"1\"><Record "
                    "ID=\"1\"><NAME>x</NAME></Record></ConfigBox>\n"),
            false, "", "GB2312" },
        { "repeated ID",
            configFileBytes("3", { sampleRecord("1", "a"), sampleRecord("2", "b"), sampleRecord("1", "c") }),
            true, "1", "ID" },
        { "repeated ID written two ways",
            configFileBytes("9", { sampleRecord("9", "a"), sampleRecord("09", "b") }), true, "9", "ID" },
        { "5,000,000-digit ID", oneRecordWithId("1" + std::string(4999999, '0')), false, "", "编号（ID）" },
        { "ID 4294967296", oneRecordWithId("4294967296"), false, "", "4294967296" },
        { "ID -1", oneRecordWithId("-1"), false, "", "-1" },
        { "ID with blanks", oneRecordWithId(" 7"), false, "", "编号（ID）" },
        { "empty ID", oneRecordWithId(""), false, "", "编号（ID）" },
        { "no ID",
            "<?xml version=\"1.0\" encoding=\"GB2312\"?>\n<ConfigBox LastID=\"1\"><Record><NAME>x</NAME>"
            "</Record></ConfigBox>\n",
            false, "", "没有编号" },
    };
}

bool isPureGb2312(const std::string& bytes)
{
    iconv_t cd = iconv_open("UTF-8", "GB2312");
    std::string out(bytes.size() * 3 + 16, '\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char* o = out.data();
    std::size_t oLeft = out.size();
    const std::size_t rc = iconv(cd, &in, &inLeft, &o, &oLeft);
    iconv_close(cd);
    return rc != static_cast<std::size_t>(-1) && inLeft == 0;
}

std::vector<std::string> fileNames(const std::filesystem::path& dir)
{
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

ConfigTable listed(const std::filesystem::path& path)
{
    XmlDocument doc;
    return readConfigTable(loadConfigDocument(doc, path.string()));
}

} // namespace tarnwick::test
