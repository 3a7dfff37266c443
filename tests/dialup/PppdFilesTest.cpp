// The rewrites of pppd's peer and secrets files, as tables of texts.
#include "dialup/linux/PppdFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tarnwick::pppdfiles;

TEST(PppdFiles, ThePeerKeepsEveryLineButItsUserAndNamesTheNewUserLast)
{
    struct Case {
        const char* what;
        std::string options;
        std::string user;
        std::string expected;
    };
    const Case cases[] = {
        { "empty", "", "ann", "user \"ann\"\n" },
        { "user replaced in place of none", "noipdefault\n", "ann", "noipdefault\nuser \"ann\"\n" },
        { "old user goes, order kept", "plugin rp-pppoe.so eth0\nuser \"old\"\nnoipdefault\n", "ann",
            "plugin rp-pppoe.so eth0\nnoipdefault\nuser \"ann\"\n" },
        { "every user line goes, indented too", "user a\n  user b\nusepeerdns\n", "c",
            "usepeerdns\nuser \"c\"\n" },
        { "a word that only starts with user stays", "username x\n", "c", "username x\nuser \"c\"\n" },
        { "no final line end", "noauth", "c", "noauth\nuser \"c\"\n" },
        { "quotes and backslashes escaped", "", "a\"b\\c", "user \"a\\\"b\\\\c\"\n" },
        { "blanks stay inside the quotes", "", "ann lee", "user \"ann lee\"\n" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(withUser(c.options, c.user), c.expected) << c.what;
}

TEST(PppdFiles, TheSecretsGetTheEntrysOwnLineOnlyOnce)
{
    struct Case {
        const char* what;
        std::string secrets;
        std::string entry;
        std::string expected;
    };
    const std::string ours = "\"ann\" * \"pw\" # tarnwick:dsl\n";
    const Case cases[] = {
        { "empty file", "", "dsl", ours },
        { "others kept, ours last", "# Secrets\n\"bob\" * \"x\"\n", "dsl",
            "# Secrets\n\"bob\" * \"x\"\n" + ours },
        { "ours replaced in place", "a\n\"old\" * \"o\" # tarnwick:dsl\nb\n", "dsl", "a\n" + ours + "b\n" },
        { "duplicates of ours collapse to one",
            "\"x\" * \"1\" # tarnwick:dsl\nb\n\"y\" * \"2\" # tarnwick:dsl\n", "dsl", ours + "b\n" },
        { "another entry's line stays", "\"z\" * \"9\" # tarnwick:modem\n", "dsl",
            "\"z\" * \"9\" # tarnwick:modem\n" + ours },
        { "a mark that only ends like ours is not ours", "\"z\" * \"9\" # tarnwick:xdsl\n", "dsl",
            "\"z\" * \"9\" # tarnwick:xdsl\n" + ours },
        { "no final line end", "\"bob\" * \"x\"", "dsl", "\"bob\" * \"x\"\n" + ours },
    };
    for (const Case& c : cases)
        EXPECT_EQ(withSecret(c.secrets, c.entry, "ann", "pw"), c.expected) << c.what;
    EXPECT_EQ(withSecret("", "dsl", "a\"n", "p\\w"), "\"a\\\"n\" * \"p\\\\w\" # tarnwick:dsl\n");
}

TEST(PppdFiles, WhichSecretsAPeerReadsAndWhichTextsCannotBeStored)
{
    struct Case {
        std::string options;
        bool pap;
        bool chap;
    };
    const Case cases[] = {
        { "", true, true },
        { "refuse-chap\n", true, false },
        { "refuse-pap\n", false, true },
        { "refuse-pap\nrefuse-chap\n", false, false },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(readsPapSecrets(c.options), c.pap) << c.options;
        EXPECT_EQ(readsChapSecrets(c.options), c.chap) << c.options;
    }
    for (const std::string& bad : std::vector<std::string> { "a\nb", "a\rb", std::string("a\0b", 3), "\t" })
        EXPECT_TRUE(holdsControlCharacter(bad));
    for (const std::string& fine : std::vector<std::string> { "", "ann", "密码", "a b\x7f" })
        EXPECT_FALSE(holdsControlCharacter(fine));
}
