#include "store/ConfigFile.h"
#include "StoreTestUtil.h"
#include "TempDir.h"
#include "base/TextCodec.h"
#include "store/StoreMessages.h"
#include "store/XmlError.h"

#include <gtest/gtest.h>

using namespace tarnwick;
using namespace tarnwick::test;

namespace
{
const std::string kDecl = "<?xml version=\"1.0\" encoding=\"GB2312\"?>";
const std::string kBody = "<ConfigBox LastID=\"0\"/>\n";
} // namespace

TEST(CheckConfigFile, FirstLineMustBeTheDeclarationByteForByte)
{
    const struct {
        const char* what;
        std::string bytes;
        ConfigCheck expected;
    } cases[] = {
        { "exact, LF", kDecl + "\n" + kBody, ConfigCheck::Valid },
        { "exact, CRLF", kDecl + "\r\n" + kBody, ConfigCheck::Valid },
        { "lower-case encoding", "<?xml version=\"1.0\" encoding=\"gb2312\"?>\n" + kBody,
            ConfigCheck::Invalid },
        { "byte-order mark", "\xEF\xBB\xBF" + kDecl + "\n" + kBody, ConfigCheck::Invalid },
        { "trailing blank", kDecl + " \n" + kBody, ConfigCheck::Invalid },
        { "leading blank", " " + kDecl + "\n" + kBody, ConfigCheck::Invalid },
        { "single quotes", "<?xml version='1.0' encoding='GB2312'?>\n" + kBody, ConfigCheck::Invalid },
        { "root on the same line", kDecl + kBody, ConfigCheck::Invalid },
        { "empty line first", "\n" + kDecl + "\n" + kBody, ConfigCheck::Invalid },
        { "empty file", "", ConfigCheck::Invalid },
        { "UTF-8 declaration", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + kBody, ConfigCheck::Invalid },
        // A file that would fail every later operation is refused up front.
        { "right first line, broken XML", kDecl + "\n<ConfigBox LastID=\"0\">", ConfigCheck::Invalid },
        { "right first line, other root", kDecl + "\n<Other/>\n", ConfigCheck::Invalid },
    };
    TempDir dir;
    const auto path = (dir / "config.xml").string();
    for (const auto& c : cases) {
        writeBytes(path, c.bytes);
        RecordingSink sink;
        EXPECT_EQ(checkConfigFile(path, sink), c.expected) << c.what;
        EXPECT_TRUE(sink.messages.empty()) << c.what;
        EXPECT_EQ(readBytes(path), c.bytes) << "checking changed the file: " << c.what;
    }
}

TEST(CheckConfigFile, MissingFileGivesOneAfterTheNotFoundMessage)
{
    TempDir dir;
    for (const std::string& path : { (dir / "absent.xml").string(), dir.path().string(), std::string() }) {
        RecordingSink sink;
        EXPECT_EQ(checkConfigFile(path, sink), ConfigCheck::Missing) << path;
        EXPECT_EQ(sink.texts(), std::vector<std::string> { msg::kConfigNotFound }) << path;
    }
}

TEST(CheckConfigFile, StartupValidationShowsTheInvalidFileMessage)
{
    TempDir dir;
    const auto good = copyFixture("config-sample.xml", dir.path()).string();
    const auto broken = copyFixture("config-truncated.xml", dir.path()).string();
    RecordingSink sink;
    EXPECT_TRUE(validateConfigFile(good, sink));
    EXPECT_TRUE(sink.messages.empty());
    EXPECT_FALSE(validateConfigFile(broken, sink));
    EXPECT_EQ(sink.texts(), std::vector<std::string> { msg::kConfigInvalid });
    sink.messages.clear();
    EXPECT_FALSE(validateConfigFile((dir / "gone.xml").string(), sink));
    EXPECT_EQ(sink.texts(), (std::vector<std::string> { msg::kConfigNotFound, msg::kConfigInvalid }));
}

TEST(RecordCount, StopsAtTheFirstRecordCarryingTheLastRecordsId)
{
    const struct {
        const char* fixture;
        std::size_t expected;
    } fixtures[] = {
        { "config-sample.xml", 3 },
        { "config-repeated-id.xml", 1 }, // IDs 1, 2, 1
        { "config-gapped-ids.xml", 3 }, // IDs 3, 7, 9
        { "config-empty-box.xml", 0 },
    };
    for (const auto& f : fixtures)
        EXPECT_EQ(getRecordCount(dataFile(f.fixture).string()), f.expected) << f.fixture;

    const struct {
        std::vector<std::string> ids;
        std::size_t expected;
    } cases[] = {
        { { "1" }, 1 },
        { { "4", "4" }, 1 },
        { { "1", "2", "3", "2" }, 2 },
        { { "1", "2", "2" }, 2 },
        { { "9", "8", "7" }, 3 },
    };
    for (const auto& c : cases) {
        std::vector<ConfigRecord> records;
        for (const auto& id : c.ids)
            records.push_back(sampleRecord(id, "n" + id));
        XmlDocument doc;
        doc.loadXml(configFileBytes("9", records));
        EXPECT_EQ(recordCount(doc.documentElement()), c.expected) << testing::PrintToString(c.ids);
    }
}

TEST(RecordCount, RecordsWithoutIdsAreCountedByTheSameRule)
{
    XmlDocument doc;
    doc.loadXml("<ConfigBox><Record/><Record ID=\"1\"/><Record/></ConfigBox>");
    EXPECT_EQ(recordCount(doc.documentElement()), 1u);
}

TEST(RecordCount, BrokenFileRaisesAnError)
{
    EXPECT_THROW(getRecordCount(dataFile("config-truncated.xml").string()), XmlError);
}

TEST(ReadRecord, ReadsEveryTextExactlyAsStored)
{
    XmlDocument doc;
    doc.load(dataFile("config-sample.xml"));
    const ConfigTable table = readConfigTable(doc.selectSingleNode("/ConfigBox"));
    ASSERT_EQ(table.count(), 3u);
    const ConfigRecord& office = table.records[1];
    EXPECT_EQ(office[ConfigField::Id], "2");
    EXPECT_EQ(office[ConfigField::Name], "办公室");
    EXPECT_EQ(office[ConfigField::Ip1], "10.20.30.40");
    EXPECT_EQ(office[ConfigField::Mask1], "255.255.255.0");
    EXPECT_EQ(office[ConfigField::AgentIp], "10.20.0.8");
    EXPECT_EQ(office[ConfigField::AgentPort], "3128");
    EXPECT_EQ(office[ConfigField::Ip2], "");
    EXPECT_EQ(office[ConfigField::SetAgent], "1");
    EXPECT_EQ(table.records[2][ConfigField::Name], "");
    EXPECT_EQ(table.records[2][ConfigField::UseIp], "0");

    // By name, not by place; blanks kept; the first of two equal names wins;
    // a missing child reads as empty text.
    doc.loadXml("<Record ID=\" 7 \"><USEIP>1</USEIP><NAME>  a  </NAME><IP1>x</IP1><IP1>y</IP1>"
                "<Extra>z</Extra></Record>");
    const ConfigRecord r = readRecord(doc.documentElement());
    EXPECT_EQ(r[ConfigField::Id], " 7 ");
    EXPECT_EQ(r[ConfigField::Name], "  a  ");
    EXPECT_EQ(r[ConfigField::Ip1], "x");
    EXPECT_EQ(r[ConfigField::UseIp], "1");
    EXPECT_EQ(r[ConfigField::Dns4], "");
}

TEST(ReadRecord, OnlyTheSingleCharacterOneTurnsASwitchOn)
{
    const struct {
        const char* stored;
        bool on;
    } cases[] = { { "1", true }, { "0", false }, { "", false }, { "true", false }, { "yes", false },
        { " 1", false }, { "1 ", false }, { "01", false }, { "１", false } };
    for (const auto& c : cases) {
        ConfigRecord r = sampleRecord("1", "x");
        r[ConfigField::UseIp] = c.stored;
        r[ConfigField::UseDns] = c.stored;
        r[ConfigField::UseAgent] = c.stored;
        r[ConfigField::SetAgent] = c.stored;
        const TcpIpConfig f = configOf(r);
        EXPECT_EQ(f.fixedIp, c.on) << c.stored;
        EXPECT_EQ(f.fixedDns, c.on) << c.stored;
        EXPECT_EQ(f.proxyOn, c.on) << c.stored;
        EXPECT_EQ(f.proxyTakesPart, c.on) << c.stored;
        EXPECT_EQ(f.ip[0], r[ConfigField::Ip1]);
        EXPECT_EQ(f.proxyPort, r[ConfigField::AgentPort]);
    }
}

TEST(ReadRecord, CaptionIsTheNameOrConfigAndThePosition)
{
    const struct {
        const char* name;
        std::size_t position;
        const char* caption;
    } cases[] = { { "家里", 0, "家里" }, { "", 0, "Config0" }, { "   ", 3, "Config3" },
        { "\t", 12, "Config12" }, { " x ", 1, " x " } };
    for (const auto& c : cases)
        EXPECT_EQ(recordCaption(sampleRecord("1", c.name), c.position), c.caption) << c.name;
}
