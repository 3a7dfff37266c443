#include "base/AtomicFile.h"
#include "base/ProfileDocument.h"
#include "base/ServiceError.h"
#include "base/TIniFile.h"
#include "base/TextCodec.h"

#include "TempDir.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <fstream>

#include <sys/stat.h>

using namespace tarnwick;

namespace
{

const std::filesystem::path kData = test::kDataDir;

std::filesystem::path copyFixture(const test::TempDir& dir, const char* name)
{
    const auto target = dir / "config.ini";
    std::filesystem::copy_file(kData / name, target);
    return target;
}

} // namespace

TEST(TIniFile, ReadsWithWindowsProfileRules)
{
    test::TempDir dir;
    const TIniFile ini(copyFixture(dir, "ini-edited-by-hand.ini"));
    struct Case {
        const char* section;
        const char* key;
        const char* expected;
    };
    const Case cases[] = {
        { "Setting", "Sskin", "Valentine" }, // blanks around the value dropped
        { "SETTING", "sskin", "Valentine" }, // case of section and key ignored
        { " setting ", "SSKIN", "Valentine" },
        { "宽带连接", "Syhm", "用户" }, // GB2312 on disk, UTF-8 here
        { "宽带连接", "Smm", "  pass word  " }, // quotes kept the blanks
        { "宽带连接", "this line is not a key", "dflt" },
        { "宽带连接", "Sskin", "dflt" }, // keys belong to their section
        { "MySettings", "Syhm", "x" },
        { "Missing", "Syhm", "dflt" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(ini.ReadString(c.section, c.key, "dflt"), c.expected) << c.section << "/" << c.key;
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string> { "Setting", "宽带连接", "MySettings" }));

    const TIniFile missing(dir / "nothing.ini");
    EXPECT_EQ(missing.ReadString("Setting", "Sskin", "Valentine"), "Valentine");
    std::vector<std::string> sections { "stale" };
    missing.ReadSections(sections);
    EXPECT_TRUE(sections.empty());
}

TEST(TIniFile, WritesChangeOnlyWhatTheyTouch)
{
    test::TempDir dir;
    const auto file = copyFixture(dir, "ini-edited-by-hand.ini");
    const std::string before = readWholeFile(file);
    TIniFile ini(file);

    ini.WriteString("setting", "SSKIN", "Xmas2008Blue"); // existing key, other spelling
    ini.WriteString("宽带连接", "Extra", "1"); // new key in an existing section
    ini.WriteString("新连接", "Syhm", "甲"); // new section at the end
    std::string expected = before;
    expected.replace(expected.find("Sskin = Valentine "), 18, "Sskin=Xmas2008Blue");
    const std::string afterPassword = utf8ToGb("Smm=\"  pass word  \"\r\n");
    expected.insert(expected.find(afterPassword) + afterPassword.size(), "Extra=1\r\n");
    expected += utf8ToGb("\r\n[新连接]\r\nSyhm=甲\r\n");
    EXPECT_EQ(readWholeFile(file), expected);

    // Erasing removes the section and its keys, nothing else.
    ini.EraseSection("新连接");
    ini.EraseSection("宽带连接");
    ini.EraseSection("never there");
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string> { "Setting", "MySettings" }));
    EXPECT_EQ(ini.ReadString("Setting", "Sskin", ""), "Xmas2008Blue");
    EXPECT_NE(readWholeFile(file).find("; Tarnwick settings\r\n"), std::string::npos);
}

TEST(TIniFile, WhatIsWrittenReadsBackUnchanged)
{
    test::TempDir dir;
    TIniFile ini(dir / "config.ini");
    const std::string tooLong(3000, 'p');
    const char* values[] = {
        "", "plain", "  leading and trailing  ", "\"quoted\"", "'single'", "\"", "a=b;c", "[not a section]",
        "密码", "\xE2\x82\xAC uro", // the euro sign is not in GB2312; GB18030 keeps it
        "\xF0\x9F\x98\x80", // outside the BMP
    };
    for (const char* v : values) {
        ini.WriteString("宽带连接", "Smm", v);
        EXPECT_EQ(ini.ReadString("宽带连接", "Smm", "0"), v);
    }
    // Reads are cut at 2047 characters (characters, not bytes).
    ini.WriteString("s", "k", tooLong);
    EXPECT_EQ(ini.ReadString("s", "k", ""), tooLong.substr(0, 2047));
    std::string chinese;
    for (int i = 0; i < 2100; ++i)
        chinese += "网";
    ini.WriteString("s", "k", chinese);
    EXPECT_EQ(ini.ReadString("s", "k", ""), chinese.substr(0, 2047 * 3));
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string> { "宽带连接", "s" }));
}

TEST(TIniFile, FileIsGb2312OnDiskAndCreatedPrivate)
{
    test::TempDir dir;
    const auto file = dir / "config.ini";
    TIniFile ini(file);
    ini.WriteString("Setting", "Sskin", "家里");
    EXPECT_EQ(readWholeFile(file), "[Setting]\nSskin=\xBC\xD2\xC0\xEF\n");
    struct stat st {
    };
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // It holds dial-up passwords: a file readable by others becomes private
    // with the next write.
    ::chmod(file.c_str(), 0644);
    ini.WriteString("拨号", "Smm", "secret");
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(TIniFile, LeftoversOfSavesKilledMidwayAreRemovedUnderTheLock)
{
    test::TempDir dir;
    const auto file = dir / "config.ini";
    TIniFile ini(file);
    ini.WriteString("Setting", "Sskin", "x");
    // What a save killed before its rename leaves: a temporary copy.
    for (const char* name : { ".config.ini.Ab3dE9", ".config.ini.zzzzzz" })
        std::ofstream(dir / name) << "[e]\nSmm=secret\n";
    std::ofstream(dir / ".config.ini.keep-me") << "not ours";
    ini.WriteString("Setting", "Sskin", "y");
    EXPECT_FALSE(std::filesystem::exists(dir / ".config.ini.Ab3dE9"));
    EXPECT_FALSE(std::filesystem::exists(dir / ".config.ini.zzzzzz"));
    EXPECT_TRUE(std::filesystem::exists(dir / ".config.ini.keep-me")) << "only mkstemp's names";
}

TEST(TIniFile, RefusedWritesCarryTheExactText)
{
    test::TempDir dir;
    const auto file = dir / "no-such-folder" / "config.ini";
    TIniFile ini(file);
    try {
        ini.WriteString("Setting", "Sskin", "x");
        ADD_FAILURE();
    } catch (const ServiceError& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + file.string());
    }
    // Texts that a profile line cannot hold are refused, not mangled.
    TIniFile good(dir / "config.ini");
    good.WriteString("Setting", "Sskin", "Valentine");
    EXPECT_THROW(good.WriteString("Setting", "Sskin", "two\nlines"), ServiceError);
    EXPECT_THROW(good.WriteString("Set]ting", "Sskin", "x"), ServiceError);
    EXPECT_THROW(good.WriteString("Setting", "a=b", "x"), ServiceError);
    EXPECT_EQ(good.ReadString("Setting", "Sskin", ""), "Valentine");
}

TEST(ProfileDocument, RepeatedSectionsAndStrayLines)
{
    ProfileDocument doc
        = ProfileDocument::parse("k=before any section\n[A]\nk=1\n;k=comment\n[b]\nk=2\n[a]\nk=3\nj=4\n");
    EXPECT_EQ(doc.value("a", "k"), "1"); // the first section of a name answers
    EXPECT_EQ(doc.value("a", "j"), std::nullopt);
    EXPECT_EQ(doc.value("", "k"), std::nullopt);
    EXPECT_EQ(doc.sectionNames(), (std::vector<std::string> { "A", "b" }));
    doc.setValue("a", "K", "5");
    EXPECT_EQ(doc.serialize(), "k=before any section\n[A]\nk=5\n;k=comment\n[b]\nk=2\n[a]\nk=3\nj=4\n");
    // Erasing removes every section of the name, so none comes back.
    EXPECT_TRUE(doc.eraseSection("A"));
    EXPECT_EQ(doc.serialize(), "k=before any section\n[b]\nk=2\n");
    EXPECT_FALSE(doc.eraseSection("A"));
}

TEST(ProfileDocument, UnchangedTextSerializesByteForByte)
{
    const char* texts[] = {
        "",
        "no newline at end",
        "[a]\r\nk=v\r\n\r\n; comment\r\n",
        "k=v before any section\n[a]\n  k = v  \n[b\n",
        "\n\n[x]]\nodd\r\n\r",
    };
    for (const char* t : texts)
        EXPECT_EQ(ProfileDocument::parse(t).serialize(), t);
    // Bytes that do not decode stay as they were in lines that are not changed.
    const std::string bytes = "[a]\nk=\xFF\xFE\n[b]\nx=1\n";
    ProfileDocument doc = ProfileDocument::parseBytes(bytes);
    doc.setValue("b", "x", "2");
    EXPECT_EQ(doc.serializeBytes(), "[a]\nk=\xFF\xFE\n[b]\nx=2\n");
}
