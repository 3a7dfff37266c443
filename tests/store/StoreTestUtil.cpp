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
