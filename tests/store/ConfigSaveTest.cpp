#include "store/ConfigSave.h"
#include "StoreTestUtil.h"
#include "TempDir.h"
#include "store/ConfigFile.h"
#include "store/ConfigList.h"
#include "store/StoreMessages.h"
#include "store/XmlError.h"

#include <gtest/gtest.h>

using namespace tarnwick;
using namespace tarnwick::test;

namespace
{

TcpIpConfig typedFields()
{
    TcpIpConfig f;
    f.ip[0] = "  192.168.7.9 ";
    f.mask[0] = "\t255.255.255.0\r\n";
    f.gateway[0] = "192.168.7.1";
    f.dns[0] = " 192.168.7.1";
    f.proxyPort = " 8080 ";
    f.fixedIp = true;
    f.fixedDns = false;
    f.proxyOn = true;
    f.proxyTakesPart = false;
    return f;
}

std::vector<std::string> column(const ConfigTable& t, ConfigField f)
{
    std::vector<std::string> out;
    for (const auto& r : t.records)
        out.push_back(r[f]);
    return out;
}

std::string lastId(const std::filesystem::path& path)
{
    XmlDocument doc;
    return loadConfigDocument(doc, path.string()).attributeText("LastID");
}

} // namespace

TEST(SaveConfig, AppendsARecordWithTheNextIdAndTrimmedTexts)
{
    TempDir dir;
    const auto path = copyFixture("config-sample.xml", dir.path());
    RecordingSink sink;
    EXPECT_EQ(saveConfig(path.string(), typedFields(), "  车站  ", std::nullopt, {}, sink).id, "4");
    EXPECT_EQ(lastId(path), "4");
    const auto table = loadConfigTable(path.string(), sink);
    ASSERT_EQ(table->count(), 4u);
    const ConfigRecord& r = table->records[3];
    EXPECT_EQ(r[ConfigField::Id], "4");
    EXPECT_EQ(r[ConfigField::Name], "车站");
    EXPECT_EQ(r[ConfigField::Ip1], "192.168.7.9");
    EXPECT_EQ(r[ConfigField::Mask1], "255.255.255.0");
    EXPECT_EQ(r[ConfigField::Dns1], "192.168.7.1");
    EXPECT_EQ(r[ConfigField::AgentPort], "8080");
    EXPECT_EQ(r[ConfigField::Ip2], "");
    EXPECT_EQ(r[ConfigField::UseIp], "1");
    EXPECT_EQ(r[ConfigField::UseDns], "0");
    EXPECT_EQ(r[ConfigField::UseAgent], "1");
    EXPECT_EQ(r[ConfigField::SetAgent], "0");
    EXPECT_TRUE(sink.messages.empty());

    // The children are written in the saved order.
    XmlDocument doc;
    XmlNode c = recordAt(loadConfigDocument(doc, path.string()), 3).firstChild();
    for (std::string_view name : kRecordElementNames) {
        ASSERT_FALSE(c.isNull());
        EXPECT_EQ(c.name(), name);
        c = c.nextSibling();
    }
    EXPECT_TRUE(c.isNull());
}

TEST(SaveConfig, EmptyAndRepeatedNamesAreStoredAsGiven)
{
    TempDir dir;
    const auto path = copyFixture("config-sample.xml", dir.path());
    RecordingSink sink;
    saveConfig(path.string(), TcpIpConfig(), "   ", std::nullopt, {}, sink);
    saveConfig(path.string(), TcpIpConfig(), "家里", std::nullopt, {}, sink);
    const auto table = loadConfigTable(path.string(), sink);
    EXPECT_EQ(
        column(*table, ConfigField::Name), (std::vector<std::string> { "家里", "办公室", "", "", "家里" }));
    EXPECT_EQ(recordCaption(table->records[3], 3), "Config3");
}

TEST(SaveConfig, OverwriteKeepsThePlaceAndTheId)
{
    TempDir dir;
    const auto path = copyFixture("config-sample.xml", dir.path());
    RecordingSink sink;
    const auto before = loadConfigTable(path.string(), sink);
    const std::string lastIdBefore = lastId(path);
    // Quick-switch files name the configuration by this ID: it must stay.
    EXPECT_EQ(saveConfig(path.string(), typedFields(), "Config2", 2, *before, sink).id, "3");
    EXPECT_EQ(lastId(path), lastIdBefore);
    const auto after = loadConfigTable(path.string(), sink);
    EXPECT_EQ(column(*after, ConfigField::Id), (std::vector<std::string> { "1", "2", "3" }));
    EXPECT_EQ(after->records[2][ConfigField::Ip1], "192.168.7.9");
    EXPECT_EQ(after->records[2][ConfigField::Name], "Config2");
    EXPECT_EQ(after->records[0], before->records[0]);
    EXPECT_EQ(after->records[1], before->records[1]);

    const std::string bytes = readBytes(path);
    EXPECT_EQ(
        saveConfig(path.string(), typedFields(), "x", 3, listed(path), sink).result, EditResult::FileChanged);
    EXPECT_EQ(readBytes(path), bytes);
}

TEST(SaveConfig, NeverHandsOutAFreedOrUsedId)
{
    const struct {
        const char* what;
        std::string lastId;
        std::vector<std::string> ids;
        std::string expected;
    } cases[] = {
        { "highest record was deleted", "9", { "3", "7" }, "10" },
        { "no records left", "9", {}, "10" },
        { "LastID missing", "", { "3", "7" }, "8" },
        { "LastID not a number", "abc", { "3" }, "4" },
        { "LastID behind the records", "2", { "3", "5" }, "6" },
        { "first save", "0", {}, "1" },
    };
    for (const auto& c : cases) {
        TempDir dir;
        const auto path = dir / "config.xml";
        std::vector<ConfigRecord> records;
        for (const auto& id : c.ids)
            records.push_back(sampleRecord(id, "n"));
        writeBytes(path, configFileBytes(c.lastId, records));
        RecordingSink sink;
        EXPECT_EQ(saveConfig(path.string(), TcpIpConfig(), "new", std::nullopt, {}, sink).id, c.expected)
            << c.what;
        EXPECT_EQ(lastId(path), c.expected) << c.what;
    }

    // Delete the highest, then save: the freed number is not reused.
    TempDir dir;
    const auto path = copyFixture("config-sample.xml", dir.path());
    RecordingSink sink;
    deleteConfig(path.string(), listed(path), 2, sink);
    EXPECT_EQ(saveConfig(path.string(), TcpIpConfig(), "new", std::nullopt, {}, sink).id, "4");
}

TEST(SaveConfig, KeepsWhatItDoesNotKnowAbout)
{
    TempDir dir;
    const auto path = copyFixture("config-unknown-parts.xml", dir.path());
    RecordingSink sink;
    saveConfig(path.string(), typedFields(), "n", std::nullopt, {}, sink);
    XmlDocument doc;
    XmlNode box = loadConfigDocument(doc, path.string());
    EXPECT_EQ(box.attributeText("Owner"), "阿明");
    EXPECT_EQ(box.firstChild().attributeText("Colour"), "blue");
    EXPECT_EQ(box.firstChild().selectSingleNode("NOTE").text(), "手写备注 & more");
}

TEST(SaveConfig, MissingOrBrokenFilesAreNotWritten)
{
    TempDir dir;
    RecordingSink sink;
    EXPECT_EQ(saveConfig((dir / "config.xml").string(), typedFields(), "n", std::nullopt, {}, sink).result,
        EditResult::FileMissing);
    EXPECT_EQ(
        sink.texts(), (std::vector<std::string> { msg::configFileGone((dir / "config.xml").string()) }));
    EXPECT_TRUE(fileNames(dir.path()).empty());

    const auto path = copyFixture("config-truncated.xml", dir.path());
    const std::string before = readBytes(path);
    EXPECT_THROW(saveConfig(path.string(), typedFields(), "n", std::nullopt, {}, sink), XmlError);
    EXPECT_EQ(readBytes(path), before);
    EXPECT_EQ(savedMessage("家里"), "配置[家里]保存成功!");
}
