#include "Process.h"

#include <gtest/gtest.h>

using namespace tarnwick::test;

TEST(Cli, UnknownVerbsAndMissingVerbsGiveUsageAnd64)
{
    for (const char* word : {"frobnicate", "--help", "-x", "list.twk.bak"}) {
        const auto r = runProcess({binPath("tarnwick"), word, "more"});
        EXPECT_EQ(r.exitCode, 64) << word;
        EXPECT_NE(r.err.find("usage: tarnwick"), std::string::npos) << word;
        EXPECT_TRUE(r.out.empty()) << word;
    }
}
