#include "store/ConfigFile.h"
#include "Process.h"
#include "StoreTestUtil.h"
#include "TempDir.h"
#include "base/TextCodec.h"
#include "store/ConfigList.h"
#include "store/StoreMessages.h"
#include "store/XmlError.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace tarnwick;
using namespace tarnwick::test;

namespace
{
const std::string kDecl = "<?xml version=\"1.0\" encoding=\"GB2312\"?>";
const std::string kBody = "<ConfigBox LastID=\"0\"/>\n";

class StoppedClock : public Clock
{
public:
    std::chrono::system_clock::time_point now() const override
    {
        return std::chrono::system_clock::from_time_t(1'800'000'000);
    }
};
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

// A repeated ID no longer cuts the list short: the records after it were
// kept in the file but shown nowhere.
TEST(RecordCount, EveryRecordCountsAlsoWhenIdsRepeat)
{
    const struct {
        const char* fixture;
        std::size_t expected;
    } fixtures[] = {
        { "config-sample.xml", 3 },
        { "config-repeated-id.xml", 3 }, // IDs 1, 2, 1
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
        { { "4", "4" }, 2 },
        { { "1", "2", "3", "2" }, 4 },
        { { "1", "2", "2" }, 3 },
        { { "9", "8", "7" }, 3 },
    };
    for (const auto& c : cases) {
        std::vector<ConfigRecord> records;
        for (const auto& id : c.ids)
            records.push_back(sampleRecord(id, "n" + id));
        XmlDocument doc;
        doc.loadXml(configFileBytes("9", records));
        EXPECT_EQ(recordCount(doc.documentElement()), c.expected) << testing::PrintToString(c.ids);
        EXPECT_EQ(readConfigTable(doc.documentElement()).records, records);
    }
}

// The check, the list and the window's load give one verdict for a file;
// only a repeated ID is judged apart: `check` refuses the file, while the
// start-up passes it with a warning naming the ID (it worked before) and
// the list and the window show every record.
TEST(ConfigVerdict, CheckListAndWindowAgree)
{
    TempDir dir;
    const auto path = (dir / "config.xml").string();
    for (const VerdictCase& c : verdictCases()) {
        SCOPED_TRACE(c.what);
        writeBytes(path, c.bytes);

        std::string why;
        RecordingSink strict;
        const ConfigCheck checked = checkConfigFile(path, strict, RepeatedIds::Refuse, &why);
        EXPECT_TRUE(strict.messages.empty());
        if (c.loads && c.repeatedId.empty()) {
            EXPECT_EQ(checked, ConfigCheck::Valid);
        } else {
            EXPECT_EQ(checked, ConfigCheck::Invalid);
            EXPECT_NE(why.find(c.reason), std::string::npos) << why;
            if (!c.repeatedId.empty()) {
                EXPECT_NE(why.find("：" + c.repeatedId + "。"), std::string::npos) << why;
            }
        }

        RecordingSink startup;
        EXPECT_EQ(checkConfigFile(path, startup), c.loads ? ConfigCheck::Valid : ConfigCheck::Invalid);
        if (c.repeatedId.empty()) {
            EXPECT_TRUE(startup.messages.empty());
        } else {
            ASSERT_EQ(startup.messages.size(), 1u);
            EXPECT_EQ(startup.messages[0].first, MessageSink::Kind::Warning);
            EXPECT_NE(startup.messages[0].second.find("：" + c.repeatedId + "。"), std::string::npos);
        }

        RecordingSink sink;
        if (c.loads) {
            std::size_t all = 0;
            for (auto at = c.bytes.find("<Record"); at != std::string::npos;
                 at = c.bytes.find("<Record", at + 1))
                ++all;
            const auto list = loadConfigTable(path, sink);
            ASSERT_TRUE(list);
            EXPECT_EQ(list->count(), all);
            EXPECT_EQ(repeatedRecordIds(*list).empty(), c.repeatedId.empty());
            const auto window = refreshConfigTable(path, sink, StoppedClock());
            ASSERT_TRUE(window);
            EXPECT_EQ(window->records, list->records);
        } else {
            try {
                loadConfigTable(path, sink);
                ADD_FAILURE() << "the list loaded it";
            } catch (const XmlError& e) {
                EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
            }
            EXPECT_THROW(refreshConfigTable(path, sink, StoppedClock()), XmlError);
            EXPECT_EQ(readBytes(path), c.bytes) << "the window's load changed a refused file";
        }
        EXPECT_TRUE(sink.messages.empty());
    }
}

// A pipe has no end until a writer comes, a device may have none at all.
TEST(ConfigLoader, RefusesWhatIsNotARegularFileAtOnce)
{
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo.xml").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", dir / "zero.xml");
    std::filesystem::create_directory(dir / "folder.xml");
    for (const char* name : { "fifo.xml", "zero.xml", "folder.xml" }) {
        const std::string path = (dir / name).string();
        const int result = runForkedWithin(
            [&] {
                try {
                    XmlDocument doc;
                    loadConfigDocument(doc, path);
                    return 1;
                } catch (const XmlError& e) {
                    return std::string(e.what()).find("not a regular file") != std::string::npos ? 0 : 2;
                }
            },
            std::chrono::seconds(20));
        EXPECT_EQ(result, 0) << name << (result < 0 ? ": hung or ran out of memory" : "");
    }
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
