#include "adapters/AdapterTable.h"

#include <gtest/gtest.h>

using namespace tarnwick;

namespace
{

AdapterEntry adapter(int n)
{
    return { "{id-" + std::to_string(n) + "}", "conn" + std::to_string(n), "desc" + std::to_string(n) };
}

} // namespace

TEST(AdapterTable, KeepsTheFirstTenAndDropsTheRestInOrder)
{
    std::vector<AdapterEntry> found;
    for (int i = 0; i < 12; ++i)
        found.push_back(adapter(i));
    const AdapterTable table = makeAdapterTable(found);
    ASSERT_EQ(table.count(), 10);
    EXPECT_EQ(table.at(0), adapter(0));
    EXPECT_EQ(table.at(9), adapter(9));
    EXPECT_FALSE(table.contains(10));
    EXPECT_THROW(table.at(10), std::out_of_range);
    EXPECT_THROW(table.at(-1), std::out_of_range);

    AdapterTable full = table;
    EXPECT_FALSE(full.append(adapter(10)));
    EXPECT_EQ(full.count(), 10);
    EXPECT_EQ(full.listLines().size(), 10u);
}

TEST(AdapterTable, ListLinesJoinNameAndDescription)
{
    AdapterTable table;
    table.append({ "{A}", "本地连接", "Realtek PCIe GBE" });
    table.append({ "{B}", "", "Intel(R) PRO/1000" }); // a connection key without "Name"
    EXPECT_EQ(table.listLines(),
        (std::vector<std::string> { "本地连接 - Realtek PCIe GBE", " - Intel(R) PRO/1000" }));
}

TEST(AdapterTable, EmptyTableListsOnlyTheNoAdapterLine)
{
    const AdapterTable table = makeAdapterTable({});
    EXPECT_EQ(table.count(), 0);
    EXPECT_FALSE(table.contains(0));
    EXPECT_EQ(table.listLines(), std::vector<std::string> { "没找到网卡" });
}

TEST(AdapterSelection, DefaultNetCardPicksAFoundIndexElseLineZero)
{
    struct Case {
        const char* stored;
        int count;
        int selected;
    };
    const Case cases[] = {
        { "1", 2, 1 },
        { "5", 2, 0 },
        { "", 2, 0 },
        { "0", 2, 0 },
        { "2", 2, 0 },
        { "01", 2, 1 },
        { " 1", 2, 0 },
        { "1 ", 2, 0 },
        { "-1", 2, 0 },
        { "+1", 2, 0 },
        { "1x", 2, 0 },
        { "abc", 2, 0 },
        { "9", 10, 9 },
        { "10", 10, 0 },
        { "99999999999", 10, 0 },
        { "1", 0, -1 },
        { "", 0, -1 },
    };
    for (const Case& c : cases)
        EXPECT_EQ(selectAdapter(c.stored, c.count), c.selected) << '"' << c.stored << "\" of " << c.count;
}
