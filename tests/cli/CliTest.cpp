#include "Process.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

using namespace tarnwick::test;

TEST(Cli, UnknownVerbsAndMissingVerbsGiveUsageAnd64)
{
    for (const char* word : { "frobnicate", "--helpme", "-x", "list.twk.bak" }) {
        const auto r = runProcess({ binPath("tarnwick"), word, "more" });
        EXPECT_EQ(r.exitCode, 64) << word;
        EXPECT_NE(r.err.find("usage: tarnwick"), std::string::npos) << word;
        EXPECT_TRUE(r.out.empty()) << word;
    }
}

TEST(Cli, HelpAndVersionGoToStandardOutputWithStatusZero)
{
    for (const char* word : { "--help", "-h", "help" }) {
        const auto r = runProcess({ binPath("tarnwick"), word });
        EXPECT_EQ(r.exitCode, 0) << word;
        EXPECT_EQ(r.out.rfind("usage: tarnwick", 0), 0u) << word;
        EXPECT_TRUE(r.err.empty()) << word << ": " << r.err;
    }
    const auto v = runProcess({ binPath("tarnwick"), "--version" });
    EXPECT_EQ(v.exitCode, 0);
    EXPECT_EQ(v.out.rfind("tarnwick ", 0), 0u) << v.out;
    EXPECT_EQ(v.out.back(), '\n');
}

TEST(Cli, TheUsageTextsColumnsLineUp)
{
    const auto r = runProcess({ binPath("tarnwick"), "--help" });
    // Each line: "usage: tarnwick FORM  summary" or its indented twin, or a
    // form too long for the column with its summary on the next line; every
    // summary starts in the same column.
    std::size_t column = std::string::npos;
    std::size_t lines = 0;
    std::size_t at = 0;
    bool summaryNext = false;
    while (at < r.out.size()) {
        const std::size_t end = r.out.find('\n', at);
        const std::string line = r.out.substr(at, end - at);
        at = end + 1;
        ++lines;
        const std::size_t gap = summaryNext ? 0 : line.find("  ", 7 + 9);
        summaryNext = gap == std::string::npos;
        if (summaryNext) {
            EXPECT_GT(line.size(), 7u + 9u + 32u) << "only a long form stands alone: " << line;
            continue;
        }
        const std::size_t summary = line.find_first_not_of(' ', gap);
        if (column == std::string::npos)
            column = summary;
        EXPECT_EQ(summary, column) << line;
    }
    EXPECT_GE(lines, 7u);
}

TEST(Cli, AnAdapterThatDoesNotExistIsNamedAndStatusIsOne)
{
    for (const char* verb : { "status", "probe" }) {
        const auto r = runProcess({ binPath("tarnwick"), verb, "--adapter", "97" });
        EXPECT_EQ(r.exitCode, 1) << verb;
        EXPECT_NE(r.err.find("no adapter 97"), std::string::npos) << verb << ": " << r.err;
        EXPECT_TRUE(r.out.empty()) << verb << ": " << r.out;
    }
}

// `tarnwick apply` with a quick-switch file that is a pipe or a link to a
// device: refused at once, named, status 1. The child is killed should it
// hang, so the test ends either way.
TEST(Cli, ApplyRefusesAQuickSwitchFileThatIsNotARegularFile)
{
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo.twk").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", dir / "zero.twk");
    for (const char* name : { "fifo.twk", "zero.twk" }) {
        const std::string path = (dir / name).string();
        const auto r = runProcessWithin({ binPath("tarnwick"), "apply", "--dry-run", path },
            std::chrono::seconds(20), { { "TARNWICK_HOME", dir.path().string() } });
        EXPECT_FALSE(r.timedOut) << name;
        EXPECT_EQ(r.exitCode, 1) << name << r.err;
        EXPECT_NE(r.err.find(path + ": 不是可读的快速切换文件（不是普通文件）"), std::string::npos) << r.err;
    }
}
