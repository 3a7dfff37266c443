#include "base/MemoryRegistryStore.h"
#include "base/TIniFile.h"
#include "base/TRegistry.h"
#include "base/linux/RegFileStore.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <thread>

using namespace tarnwick;

namespace
{

// Two threads (the GUI thread and the apply worker, say) write through the
// same store at once; every value must arrive.
void writeFromTwoThreads(RegistryStore& store)
{
    constexpr int kValues = 40;
    auto writer = [&store](int id) {
        for (int i = 0; i < kValues; ++i) {
            TRegistry reg(store);
            reg.SetRootKey(RegRoot::CurrentUser);
            reg.OpenKey("Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", true);
            reg.WriteString("t" + std::to_string(id) + "_" + std::to_string(i), "x");
            (void)reg.ReadString("ProxyServer");
        }
    };
    std::thread a(writer, 0);
    std::thread b(writer, 1);
    a.join();
    b.join();
    TRegistry reg(store);
    reg.SetRootKey(RegRoot::CurrentUser);
    ASSERT_TRUE(reg.OpenKey("Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", false));
    EXPECT_EQ(reg.GetValueNames().size(), 2u * kValues);
}

} // namespace

TEST(RegistryThreads, FileStoreKeepsEveryValue)
{
    test::TempDir dir;
    RegFileStore store(dir.path());
    writeFromTwoThreads(store);
}

TEST(RegistryThreads, MemoryStoreKeepsEveryValue)
{
    MemoryRegistryStore store;
    writeFromTwoThreads(store);
}

TEST(RegistryThreads, ProfileFileKeepsEveryKey)
{
    test::TempDir dir;
    const auto file = dir / "config.ini";
    auto writer = [&file](int id) {
        TIniFile ini(file);
        for (int i = 0; i < 30; ++i)
            ini.WriteString("entry" + std::to_string(id), "k" + std::to_string(i), "v");
    };
    std::thread a(writer, 0);
    std::thread b(writer, 1);
    a.join();
    b.join();
    const TIniFile ini(file);
    for (int id = 0; id < 2; ++id) {
        for (int i = 0; i < 30; ++i)
            EXPECT_EQ(ini.ReadString("entry" + std::to_string(id), "k" + std::to_string(i), "lost"), "v");
    }
}
