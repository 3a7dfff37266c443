#include "store/ConfigList.h"
#include "StoreTestUtil.h"
#include "TempDir.h"
#include "store/ConfigFile.h"
#include "store/ConfigSave.h"
#include "store/RecordBinding.h"
#include "store/StoreMessages.h"
#include "store/XmlError.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

using namespace tarnwick;
using namespace tarnwick::test;

namespace
{

class FixedClock : public Clock
{
public:
    std::chrono::system_clock::time_point now() const override { return m_now; }
    std::chrono::system_clock::time_point m_now = std::chrono::system_clock::from_time_t(1'800'000'000);
};

std::vector<std::string> ids(const ConfigTable& t)
{
    std::vector<std::string> out;
    for (const auto& r : t.records)
        out.push_back(r[ConfigField::Id]);
    return out;
}

std::string attributeOfBox(const std::filesystem::path& path, const char* name)
{
    XmlDocument doc;
    return loadConfigDocument(doc, path.string()).attributeText(name);
}

std::vector<std::string> goneMessage(const std::filesystem::path& path)
{
    return { msg::configFileGone(path.string()) };
}

} // namespace

TEST(ListRefresh, StampsLastOpenTimeSavesAndReadsTheCountedRecords)
{
    setenv("TZ", "UTC", 1);
    tzset();
    const struct {
        const char* fixture;
        std::vector<std::string> ids;
        const char* thirdName;
    } cases[] = {
        { "config-sample.xml", { "1", "2", "3" }, "" },
        // A repeated ID hides nothing.
        { "config-repeated-id.xml", { "1", "2", "1" }, "copy of first" },
        { "config-gapped-ids.xml", { "3", "7", "9" }, "nine" },
    };
    for (const auto& c : cases) {
        TempDir dir;
        const auto path = copyFixture(c.fixture, dir.path());
        RecordingSink sink;
        const auto table = refreshConfigTable(path.string(), sink, FixedClock());
        ASSERT_TRUE(table) << c.fixture;
        EXPECT_EQ(ids(*table), c.ids) << c.fixture;
        EXPECT_TRUE(sink.messages.empty());
        EXPECT_EQ(attributeOfBox(path, "LastOpenTime"), "2027-01-15 08:00:00") << c.fixture;
        XmlDocument doc;
        EXPECT_EQ(
            readRecord(recordAt(loadConfigDocument(doc, path.string()), 2))[ConfigField::Name], c.thirdName);
        EXPECT_EQ(table->records[2][ConfigField::Name], c.thirdName);
        // The refresh reads what a fresh load would read.
        EXPECT_EQ(*table, *loadConfigTable(path.string(), sink));
    }
}

TEST(ListRefresh, AnEmptyConfigBoxIsNeitherChangedNorSaved)
{
    TempDir dir;
    const auto path = copyFixture("config-empty-box.xml", dir.path());
    const std::string before = readBytes(path);
    RecordingSink sink;
    const auto table = refreshConfigTable(path.string(), sink, FixedClock());
    ASSERT_TRUE(table);
    EXPECT_EQ(table->count(), 0u);
    EXPECT_EQ(readBytes(path), before);
}

TEST(ListRefresh, AMissingFileIsNamedAsGoneAndGivesNoTable)
{
    TempDir dir;
    RecordingSink sink;
    EXPECT_FALSE(refreshConfigTable((dir / "config.xml").string(), sink, FixedClock()));
    EXPECT_EQ(sink.texts(), goneMessage(dir / "config.xml"));
    EXPECT_TRUE(fileNames(dir.path()).empty());
}

TEST(ListRefresh, ABrokenFileRaisesAnErrorAndIsLeftAsItIs)
{
    TempDir dir;
    const auto path = copyFixture("config-truncated.xml", dir.path());
    const std::string before = readBytes(path);
    RecordingSink sink;
    EXPECT_THROW(refreshConfigTable(path.string(), sink, FixedClock()), XmlError);
    EXPECT_EQ(readBytes(path), before);
    EXPECT_EQ(fileNames(dir.path()),
        (std::vector<std::string> { ".config-truncated.xml.lock", "config-truncated.xml" }))
        << "nothing beside it but the lock";
}

TEST(RecordSwap, MovesAllTwentyTextsAndLeavesTheStructure)
{
    TempDir dir;
    const auto path = dir / "config.xml";
    const std::vector<ConfigRecord> records
        = { sampleRecord("1", "a"), sampleRecord("2", "b"), sampleRecord("3", "c"), sampleRecord("4", "d") };
    writeBytes(path, configFileBytes("4", records));
    RecordingSink sink;
    ASSERT_EQ(moveConfig(path.string(), listed(path), 2, MoveDirection::Up, sink), EditResult::Done);
    auto table = loadConfigTable(path.string(), sink);
    ASSERT_TRUE(table);
    EXPECT_EQ(table->records, (std::vector<ConfigRecord> { records[0], records[2], records[1], records[3] }));
    ASSERT_EQ(moveConfig(path.string(), listed(path), 1, MoveDirection::Down, sink), EditResult::Done);
    EXPECT_EQ(loadConfigTable(path.string(), sink)->records, records);

    // The elements stay: an unknown attribute on position 1 does not travel.
    XmlDocument doc;
    XmlNode box = loadConfigDocument(doc, path.string());
    recordAt(box, 1).setAttribute("Pinned", "yes");
    swapRecords(recordAt(box, 1), recordAt(box, 2));
    EXPECT_EQ(recordAt(box, 1).attributeText("Pinned"), "yes");
    EXPECT_EQ(readRecord(recordAt(box, 1)), records[2]);
    EXPECT_EQ(readRecord(recordAt(box, 2)), records[1]);
}

TEST(RecordSwap, SwapFillsInChildrenARecordLacked)
{
    XmlDocument doc;
    doc.loadXml("<ConfigBox><Record ID=\"1\"><NAME>short</NAME></Record>"
                "<Record ID=\"2\"><NAME>full</NAME><DNS4>1.1.1.1</DNS4></Record></ConfigBox>");
    XmlNode box = doc.documentElement();
    swapRecords(box.firstChild(), box.lastChild());
    EXPECT_EQ(readRecord(box.firstChild())[ConfigField::Dns4], "1.1.1.1");
    EXPECT_EQ(readRecord(box.firstChild())[ConfigField::Id], "2");
    EXPECT_EQ(readRecord(box.lastChild())[ConfigField::Name], "short");
}

TEST(MoveConfig, EndsDoNotMoveButTheFileIsStillSaved)
{
    TempDir dir;
    const auto path = dir / "config.xml";
    const std::vector<ConfigRecord> records = { sampleRecord("1", "a"), sampleRecord("2", "b") };
    writeBytes(path, configFileBytes("2", records));
    RecordingSink sink;
    ASSERT_EQ(moveConfig(path.string(), listed(path), 0, MoveDirection::Up, sink), EditResult::Done);
    ASSERT_EQ(moveConfig(path.string(), listed(path), 1, MoveDirection::Down, sink), EditResult::Done);
    EXPECT_EQ(loadConfigTable(path.string(), sink)->records, records);

    EXPECT_EQ(moveConfig((dir / "gone.xml").string(), listed(path), 0, MoveDirection::Down, sink),
        EditResult::FileMissing);
    EXPECT_EQ(sink.texts(), goneMessage(dir / "gone.xml"));
}

TEST(DeleteConfig, RemovesTheRecordAndKeepsLastId)
{
    TempDir dir;
    const auto path = copyFixture("config-sample.xml", dir.path());
    RecordingSink sink;
    ASSERT_EQ(deleteConfig(path.string(), listed(path), 2, sink), EditResult::Done);
    EXPECT_EQ(ids(*loadConfigTable(path.string(), sink)), (std::vector<std::string> { "1", "2" }));
    EXPECT_EQ(attributeOfBox(path, "LastID"), "3");
    ASSERT_EQ(deleteConfig(path.string(), listed(path), 0, sink), EditResult::Done);
    ASSERT_EQ(deleteConfig(path.string(), listed(path), 0, sink), EditResult::Done);
    EXPECT_EQ(loadConfigTable(path.string(), sink)->count(), 0u);
    EXPECT_EQ(attributeOfBox(path, "LastOpenTime"), "2026-12-01 09:00:00");
}

TEST(RenameConfig, StoresTheTrimmedNameAndIgnoresBlankNames)
{
    TempDir dir;
    const auto path = copyFixture("config-sample.xml", dir.path());
    const std::string before = readBytes(path);
    RecordingSink sink;
    ASSERT_EQ(renameConfig(path.string(), listed(path), 1, " \t ", sink), EditResult::Unchanged);
    EXPECT_EQ(readBytes(path), before);
    ASSERT_EQ(renameConfig(path.string(), listed(path), 1, "  新办公室  ", sink), EditResult::Done);
    EXPECT_EQ(loadConfigTable(path.string(), sink)->records[1][ConfigField::Name], "新办公室");
    EXPECT_TRUE(sink.messages.empty());
}

// Another program changes the file between the list's refresh and the
// user's operation: the operation must not act on whatever record now sits
// at the listed position.
TEST(ListedOperations, AFileChangedSinceTheRefreshIsLeftAsItIs)
{
    const std::vector<ConfigRecord> records
        = { sampleRecord("1", "a"), sampleRecord("2", "b"), sampleRecord("3", "c") };
    const struct {
        const char* change;
        std::vector<ConfigRecord> now;
    } changes[] = {
        { "a record inserted above", { sampleRecord("9", "new"), records[0], records[1], records[2] } },
        { "a record removed above", { records[1], records[2] } },
        { "two records swapped", { records[1], records[0], records[2] } },
    };
    const std::function<EditResult(const std::string&, const ConfigTable&, MessageSink&)> operations[] = {
        [](auto& p, auto& t, auto& s) { return deleteConfig(p, t, 1, s); },
        [](auto& p, auto& t, auto& s) { return renameConfig(p, t, 1, "renamed", s); },
        [](auto& p, auto& t, auto& s) { return moveConfig(p, t, 1, MoveDirection::Up, s); },
        [](auto& p, auto& t, auto& s) { return moveConfig(p, t, 1, MoveDirection::Down, s); },
        [](auto& p, auto& t, auto& s) { return saveConfig(p, TcpIpConfig(), "over", 1, t, s).result; },
    };
    for (const auto& c : changes) {
        for (std::size_t op = 0; op < std::size(operations); ++op) {
            SCOPED_TRACE(std::string(c.change) + ", operation " + std::to_string(op));
            TempDir dir;
            const auto path = dir / "config.xml";
            writeBytes(path, configFileBytes("3", records));
            const ConfigTable shown = listed(path);
            writeBytes(path, configFileBytes("9", c.now));
            const std::string before = readBytes(path);
            RecordingSink sink;
            EXPECT_EQ(operations[op](path.string(), shown, sink), EditResult::FileChanged);
            EXPECT_EQ(readBytes(path), before);
        }
    }
}

TEST(ListedOperations, LeftoversOfKilledSavesGoUnderTheLock)
{
    TempDir dir;
    const auto path = copyFixture("config-sample.xml", dir.path());
    writeBytes(dir / ".config-sample.xml.a1B2c3", "half a save");
    writeBytes(dir / ".config-sample.xml.bak", "someone else's");
    RecordingSink sink;
    ASSERT_EQ(renameConfig(path.string(), listed(path), 0, "x", sink), EditResult::Done);
    EXPECT_EQ(fileNames(dir.path()),
        (std::vector<std::string> {
            ".config-sample.xml.bak", ".config-sample.xml.lock", "config-sample.xml" }));
}

// The window runs an operation and its refresh as one write: the file and
// the table must end exactly as the operation followed by a refresh leave them.
TEST(ListedOperations, TheRefreshInTheSameWriteEndsAsARefreshAfterwards)
{
    const std::vector<ConfigRecord> one = { sampleRecord("1", "a") };
    const std::vector<ConfigRecord> three
        = { sampleRecord("1", "a"), sampleRecord("2", ""), sampleRecord("3", "c") };
    const struct {
        const char* what;
        std::vector<ConfigRecord> records;
        std::function<EditResult(const std::string&, const ConfigTable&, MessageSink&, const ThenRefresh*)>
            op;
    } cases[] = {
        { "delete", three,
            [](auto& p, auto& t, auto& s, auto* then) { return deleteConfig(p, t, 1, s, then); } },
        { "delete the only one", one,
            [](auto& p, auto& t, auto& s, auto* then) { return deleteConfig(p, t, 0, s, then); } },
        { "move up", three,
            [](auto& p, auto& t, auto& s, auto* then) {
                return moveConfig(p, t, 2, MoveDirection::Up, s, then);
            } },
        { "move the last down", three,
            [](auto& p, auto& t, auto& s, auto* then) {
                return moveConfig(p, t, 2, MoveDirection::Down, s, then);
            } },
        { "save", three,
            [](auto& p, auto& t, auto& s, auto* then) {
                return saveConfig(p, TcpIpConfig(), "new", 1, t, s, then).result;
            } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const auto apart = dir / "apart.xml";
        const auto together = dir / "together.xml";
        writeBytes(apart, configFileBytes("3", c.records));
        writeBytes(together, configFileBytes("3", c.records));
        RecordingSink sink;
        const FixedClock clock;
        ASSERT_EQ(c.op(apart.string(), listed(apart), sink, nullptr), EditResult::Done);
        const auto afterwards = refreshConfigTable(apart.string(), sink, clock);
        std::optional<ConfigTable> table;
        const ThenRefresh then { clock, table };
        ASSERT_EQ(c.op(together.string(), listed(together), sink, &then), EditResult::Done);
        EXPECT_EQ(readBytes(together), readBytes(apart));
        EXPECT_EQ(table, afterwards);
    }
}

// A file the user marked read-only, or one in a read-only folder, is never
// replaced: every change is refused with a message naming the file, while
// the list still loads from it. Mode bits decide also for root, whom the
// system would let write anyway.
TEST(ReadOnlyFile, ChangesAreRefusedAndTheFileStaysAsItIs)
{
    const std::vector<ConfigRecord> records = { sampleRecord("1", "a"), sampleRecord("2", "b") };
    const std::function<EditResult(const std::string&, const ConfigTable&, MessageSink&)> operations[] = {
        [](const std::string& p, const ConfigTable& t, MessageSink& s) {
            return renameConfig(p, t, 0, "新名字", s);
        },
        [](const std::string& p, const ConfigTable& t, MessageSink& s) {
            return moveConfig(p, t, 0, MoveDirection::Down, s);
        },
        [](const std::string& p, const ConfigTable& t, MessageSink& s) { return deleteConfig(p, t, 1, s); },
        [](const std::string& p, const ConfigTable& t, MessageSink& s) {
            return saveConfig(p, TcpIpConfig(), "新的", std::nullopt, t, s).result;
        },
        [](const std::string& p, const ConfigTable& t, MessageSink& s) {
            return saveConfig(p, TcpIpConfig(), "a", 0, t, s).result;
        },
    };
    for (const bool folder : { false, true }) {
        for (std::size_t op = 0; op < std::size(operations); ++op) {
            SCOPED_TRACE((folder ? "read-only folder, operation " : "read-only file, operation ")
                + std::to_string(op));
            TempDir dir;
            const auto sub = dir / "store";
            std::filesystem::create_directory(sub);
            const auto path = sub / "config.xml";
            writeBytes(path, configFileBytes("2", records));
            const ConfigTable table = listed(path);
            ::chmod((folder ? sub : path).c_str(), folder ? 0555 : 0444);
            const std::string before = readBytes(path);

            RecordingSink sink;
            EXPECT_EQ(operations[op](path.string(), table, sink), EditResult::NotWritable);
            EXPECT_EQ(sink.texts(),
                std::vector<std::string> { folder ? msg::configFolderReadOnly(path.string())
                                                  : msg::configFileReadOnly(path.string()) });
            EXPECT_EQ(readBytes(path), before);

            // The refresh still lists it, without renewing the stamp.
            const auto refreshed = refreshConfigTable(path.string(), sink, FixedClock());
            ASSERT_TRUE(refreshed);
            EXPECT_EQ(refreshed->records, records);
            EXPECT_EQ(readBytes(path), before);
            ::chmod(sub.c_str(), 0755);
        }
    }
}

TEST(ReadOnlyFile, AWritableFileIsNotRefused)
{
    TempDir dir;
    const auto path = dir / "config.xml";
    writeBytes(path, configFileBytes("0", {}));
    ::chmod(path.c_str(), 0600);
    EXPECT_FALSE(refusedWrite(path.string()));
    ::chmod(path.c_str(), 0444);
    EXPECT_EQ(refusedWrite(path.string()), msg::configFileReadOnly(path.string()));
}

// A write the system refuses is reported in the user's language, naming the
// file, and leaves it as it was.
TEST(FileErrors, AFailedWriteNamesTheFileInChinese)
{
    TempDir dir;
    // The longest name a folder holds: the temporary file beside it cannot be named.
    const auto path = dir / (std::string(250, 'c') + ".xml");
    writeBytes(path, configFileBytes("1", { sampleRecord("1", "a") }));
    const std::string before = readBytes(path);
    RecordingSink sink;
    try {
        saveConfig(path.string(), TcpIpConfig(), "n", std::nullopt, {}, sink);
        ADD_FAILURE() << "the save did not fail";
    } catch (const XmlError& e) {
        EXPECT_EQ(std::string(e.what()),
            msg::cannotWriteFile(path.string(), std::make_error_code(std::errc::filename_too_long)));
        EXPECT_NE(std::string(e.what()).find("文件名太长"), std::string::npos);
    }
    EXPECT_EQ(readBytes(path), before);
    // A refresh lists it all the same: only its stamp could not be renewed.
    const auto table = refreshConfigTable(path.string(), sink, FixedClock());
    ASSERT_TRUE(table);
    EXPECT_EQ(table->count(), 1u);
    EXPECT_EQ(readBytes(path), before);
}

TEST(FileErrors, AnUnreadableFileNamesItInChinese)
{
    TempDir dir;
    const auto path = copyFixture("config-truncated.xml", dir.path());
    RecordingSink sink;
    try {
        refreshConfigTable(path.string(), sink, FixedClock());
        ADD_FAILURE() << "the refresh did not fail";
    } catch (const XmlError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("无法读取配置文件“" + path.string() + "”", 0), 0u) << e.what();
    }
}

// The listed configurations, saved to a new file when theirs is gone.
TEST(WriteConfigTableFile, WritesTheRecordsAsListedAndALastIdPastThem)
{
    TempDir dir;
    ConfigRecord odd = sampleRecord("9", "");
    odd[ConfigField::UseIp] = "yes"; // kept exactly as it was read
    const ConfigTable table { { sampleRecord("3", "家里"), odd, sampleRecord("4", "Office") } };
    const auto path = dir / "rescued.xml";
    writeConfigTableFile(path.string(), table);
    RecordingSink sink;
    EXPECT_EQ(checkConfigFile(path.string(), sink), ConfigCheck::Valid);
    EXPECT_EQ(listed(path).records, table.records);
    EXPECT_EQ(saveConfig(path.string(), TcpIpConfig(), "n", std::nullopt, listed(path), sink).id, "10");
}
