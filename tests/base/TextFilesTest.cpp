#include "base/AtomicFile.h"
#include "base/TextCodec.h"

#include "TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace tarnwick;

TEST(TextCodec, RoundTripsChineseAndCharactersOutsideGb2312)
{
    struct Case {
        const char* utf8;
        const char* gb; // expected bytes on disk, nullptr when only the round trip matters
    };
    const Case cases[] = {
        { "", "" }, { "config.xml", "config.xml" }, { "家里", "\xBC\xD2\xC0\xEF" },
        { "设置完毕！", "\xC9\xE8\xD6\xC3\xCD\xEA\xB1\xCF\xA3\xA1" },
        { "\xE2\x82\xAC", nullptr }, // euro sign: not in GB2312, kept by GB18030
        { "\xF0\x9F\x98\x80 smile", nullptr }, // outside the BMP
    };
    for (const Case& c : cases) {
        const std::string gb = utf8ToGb(c.utf8);
        if (c.gb) {
            EXPECT_EQ(gb, c.gb) << c.utf8;
        }
        EXPECT_EQ(gbToUtf8(gb), c.utf8);
    }
}

TEST(TextCodec, BrokenInputIsMarkedNotTruncated)
{
    EXPECT_EQ(gbToUtf8("a\xFF"
                       "b"),
        "a\xEF\xBF\xBD"
        "b");
}

TEST(AtomicFile, ReplacesContentAndKeepsMode)
{
    test::TempDir dir;
    const auto file = dir / "x.txt";
    writeFileAtomically(file, "one", 0600);
    struct stat st {
    };
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ::chmod(file.c_str(), 0640);
    writeFileAtomically(file, "two");
    EXPECT_EQ(readWholeFile(file), "two");
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(AtomicFile, FailureLeavesTargetUntouched)
{
    test::TempDir dir;
    EXPECT_THROW(writeFileAtomically(dir / "missing-folder" / "x.txt", "data"), std::system_error);
    EXPECT_THROW(readWholeFile(dir / "nothing"), std::system_error);
}
