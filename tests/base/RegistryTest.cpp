#include "base/MemoryRegistryStore.h"
#include "base/RegFile.h"
#include "base/ServiceError.h"
#include "base/StoreFileError.h"
#include "base/TRegistry.h"
#include "base/linux/RegFileStore.h"

#include "TempDir.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <limits>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tarnwick;

namespace
{

const std::filesystem::path kData = test::kDataDir;

std::string fileBytes(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), {} };
}

// Writes a value through a fresh wrapper and reads it back through another
// one over a fresh store on the same folder, so only the file carries it.
RegValue roundTripThroughFile(const std::filesystem::path& folder, const RegValue& value)
{
    {
        RegFileStore store(folder);
        store.modify(RegRoot::CurrentUser, "v", [&](RegHive& hive) {
            hive.create("Software\\Test").set("v", value);
            return true;
        });
    }
    RegFileStore again(folder);
    const RegHive hive = again.load(RegRoot::CurrentUser);
    const RegKey* key = hive.find("software\\test");
    if (!key || !key->find("v"))
        return RegValue::raw(0, "missing");
    return *key->find("v");
}

} // namespace

TEST(RegFile, ValuesOfEveryTypeRoundTripExactlyThroughTheStoreFile)
{
    const std::string longText(300, 'x');
    const RegValue cases[] = {
        RegValue::string(""), RegValue::string("config.xml"),
        RegValue::string("D:\\配置\\\"quoted\"\\config.xml"),
        RegValue::string("line one\r\nline two"), // cannot sit in a quoted line
        RegValue::string(std::string("nul\0inside", 10)), RegValue::string("trailing backslash\\"),
        RegValue::expandString("%SystemRoot%\\system32"), RegValue::expandString("家里 %USERPROFILE%"),
        RegValue::expandString(""), RegValue::dword(0), RegValue::dword(1), RegValue::dword(0x7FFFFFFF),
        RegValue::dword(0x80000000), RegValue::dword(0xFFFFFFFF), RegValue::multiString({}),
        RegValue::multiString({ "192.168.1.5" }),
        RegValue::multiString({ "192.168.1.5", "10.0.0.7", "172.16.0.1", "8.8.8.8" }),
        RegValue::multiString({ "a", "", "b" }), // an empty string inside is kept
        RegValue::multiString({ "网关", longText }), RegValue::raw(3, std::string("\x00\x01\xFF", 3)),
        RegValue::raw(11, std::string(8, '\x7F')), // a QWORD, kept as raw bytes
        RegValue::raw(7, std::string("no terminator", 13)), // odd data kept byte for byte
    };
    test::TempDir dir;
    for (const RegValue& value : cases) {
        const RegValue back = roundTripThroughFile(dir.path(), value);
        EXPECT_EQ(back, value) << "type " << value.type << " text '" << value.text << "' data size "
                               << value.data.size();
    }
    // The store file is UTF-8 text, and Chinese stays readable in it.
    RegFileStore store(dir.path());
    store.modify(RegRoot::CurrentUser, "n", [](RegHive& h) {
        h.create("Software\\Test").set("name", RegValue::string("家里"));
        return true;
    });
    EXPECT_NE(fileBytes(dir / "HKEY_CURRENT_USER.reg").find("\"name\"=\"家里\""), std::string::npos);
}

TEST(RegFile, MultiStringDataSplitsAsTheStatusReaderExpects)
{
    struct Case {
        std::string data;
        std::vector<std::string> strings;
    };
    const Case cases[] = {
        { std::string("a\0b\0\0", 5), { "a", "b" } },
        { std::string("\0", 1), {} },
        { std::string("\0\0", 2), { "" } },
        { std::string("a\0\0b\0\0", 6), { "a", "", "b" } },
        { std::string("a\0b", 3), { "a", "b" } }, // last string without its NUL
        { "", {} },
    };
    for (const Case& c : cases)
        EXPECT_EQ(splitMultiString(c.data), c.strings) << c.data.size();
}

TEST(RegFile, ReadsAWindowsExportInTheAnsiCodePage)
{
    const RegFileContent content = parseRegFile(fileBytes(kData / "reg-windows-export-gb2312.reg"), "x.reg");
    const RegHive& hklm = content.at(RegRoot::LocalMachine);
    const RegKey* settings = hklm.find("software\\TARNWICK");
    ASSERT_NE(settings, nullptr);
    ASSERT_NE(settings->find("ConfigFile"), nullptr);
    EXPECT_EQ(settings->find("ConfigFile")->text, "D:\\配置\\config.xml");
    const RegKey* iface
        = hklm.find("SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\{abc}");
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(splitMultiString(iface->find("IPAddress")->data),
        (std::vector<std::string> { "192.168.1.5", "10.0.0.7" }));
    EXPECT_EQ(*iface->find("Path"), RegValue::expandString("%SystemRoot%"));
    EXPECT_EQ(iface->find("EnableDHCP")->number, 0u);
    EXPECT_EQ(iface->find("Blob")->data, "\x01\x02\xFF");
    ASSERT_NE(iface->find(""), nullptr);
    EXPECT_EQ(iface->find("")->text, "默认");
    // Parents of a listed key exist as keys of their own.
    EXPECT_NE(hklm.find("SYSTEM\\CurrentControlSet\\Services"), nullptr);
}

TEST(RegFile, SyntaxErrorsNameTheFileAndLine)
{
    struct Case {
        const char* text;
        int line;
    };
    const Case cases[] = {
        { "[HKEY_LOCAL_MACHINE\\A]\n", 1 },
        { "Windows Registry Editor Version 5.00\n", 1 },
        { "REGEDIT4\n\"v\"=\"x\"\n", 2 },
        { "REGEDIT4\n[HKEY_NOWHERE\\A]\n", 2 },
        { "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A\n", 2 },
        { "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A\\\\B]\n", 2 },
        { "REGEDIT4\n[-HKEY_LOCAL_MACHINE\\A]\n", 2 },
        { "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"v\"=-\n", 3 },
        { "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"v\"=dword:123456789\n", 3 },
        { "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"v\"=hex(7):31,zz\n", 3 },
        { "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"v\"=hex:01,\\\n", 3 },
        { "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"v\"=\"a\\n\"\n", 3 },
        { "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\n\njunk\n", 5 },
    };
    for (const Case& c : cases) {
        try {
            parseRegFile(c.text, "/some/HKEY_LOCAL_MACHINE.reg");
            ADD_FAILURE() << "parsed: " << c.text;
        } catch (const StoreFileError& e) {
            EXPECT_EQ(e.line(), c.line) << c.text;
            EXPECT_NE(std::string(e.what()).find("/some/HKEY_LOCAL_MACHINE.reg"), std::string::npos)
                << e.what();
        }
    }
}

TEST(TRegistry, KeyAndValueNamesIgnoreCaseAndKeepTheFirstSpelling)
{
    MemoryRegistryStore store;
    TRegistry reg(store);
    reg.SetRootKey(RegRoot::LocalMachine);
    ASSERT_TRUE(reg.OpenKey("SOFTWARE\\Tarnwick", true));
    reg.WriteString("ConfigFile", "a.xml");
    reg.CloseKey();

    const char* spellings[]
        = { "SOFTWARE\\Tarnwick", "\\SOFTWARE\\tarnwick", "software\\TARNWICK", "Software\\tarnwick\\" };
    for (const char* path : spellings) {
        TRegistry r(store);
        r.SetRootKey(RegRoot::LocalMachine);
        ASSERT_TRUE(r.OpenKey(path, false)) << path;
        EXPECT_EQ(r.ReadString("configfile"), "a.xml") << path;
        EXPECT_TRUE(r.ValueExists("CONFIGFILE"));
        EXPECT_EQ(*r.CurrentPath(), "SOFTWARE\\Tarnwick");
        r.WriteString("CONFIGFILE", "b.xml"); // same value, not a second one
        r.WriteString("ConfigFile", "a.xml");
    }
    // Opening with create under another spelling creates nothing new.
    reg.OpenKey("software\\tarnwick\\Sub", true);
    const RegHive hive = store.load(RegRoot::LocalMachine);
    ASSERT_EQ(hive.keys().size(), 3u);
    EXPECT_EQ(hive.keys()[2].path, "SOFTWARE\\Tarnwick\\Sub");
    ASSERT_EQ(hive.find("software\\tarnwick")->values.size(), 1u);
    EXPECT_EQ(hive.find("software\\tarnwick")->values[0].first, "ConfigFile");
}

TEST(TRegistry, OperationsBehaveAsTheWrapperDoes)
{
    MemoryRegistryStore store;
    TRegistry reg(store);
    reg.SetRootKey(RegRoot::LocalMachine);

    // No key open: reads are empty, writes are refused.
    EXPECT_EQ(reg.ReadString("x"), "");
    EXPECT_FALSE(reg.ValueExists("x"));
    EXPECT_THROW(reg.WriteString("x", "1"), ServiceError);

    // Paths that cannot name a key open nothing, with or without create.
    for (const char* bad : { "A\\\\B", "\\\\A", "A\nB", "A]B", "\xFF\xFE" }) {
        EXPECT_FALSE(reg.OpenKey(bad, true)) << bad;
        EXPECT_FALSE(reg.KeyExists(bad)) << bad;
    }
    EXPECT_TRUE(store.load(RegRoot::LocalMachine).empty());
    EXPECT_FALSE(reg.OpenKey("SYSTEM\\Missing", false));
    EXPECT_FALSE(reg.CurrentPath());
    EXPECT_TRUE(store.load(RegRoot::LocalMachine).empty()); // opening without create wrote nothing

    ASSERT_TRUE(reg.OpenKey("\\SYSTEM\\Class\\0000", true));
    reg.WriteString("", "default value");
    reg.WriteString("DriverDesc", "网卡");
    reg.WriteInteger("Characteristics", -2);
    reg.CloseKey();
    ASSERT_TRUE(reg.OpenKey("SYSTEM\\Class", false));
    EXPECT_TRUE(reg.KeyExists("0000"));
    EXPECT_TRUE(reg.KeyExists("0000\\"));
    EXPECT_FALSE(reg.KeyExists("0001"));
    EXPECT_EQ(reg.GetKeyNames(), std::vector<std::string> { "0000" });
    // Without a leading backslash a path is taken below the open key.
    ASSERT_TRUE(reg.OpenKey("0000", false));
    EXPECT_EQ(reg.ReadString(""), "default value");
    EXPECT_EQ(reg.ReadString("DriverDesc"), "网卡");
    EXPECT_EQ(reg.ReadInteger("Characteristics"), -2);
    EXPECT_EQ(reg.ReadString("Characteristics"), ""); // a number is no text
    EXPECT_EQ(reg.GetValueNames(), (std::vector<std::string> { "", "DriverDesc", "Characteristics" }));

    // Roots are apart.
    TRegistry user(store);
    user.SetRootKey(RegRoot::CurrentUser);
    EXPECT_FALSE(user.OpenKey("SYSTEM\\Class", false));
}

TEST(TRegistry, ReadIntegerErrorsCarryTheExactTexts)
{
    MemoryRegistryStore store;
    TRegistry reg(store);
    reg.SetRootKey(RegRoot::CurrentUser);
    const auto errorOf = [&](const char* name) -> std::string {
        try {
            reg.ReadInteger(name);
        } catch (const ServiceError& e) {
            return e.what();
        }
        return "no error";
    };
    EXPECT_EQ(errorOf("ProxyEnable"), "Failed to get data for 'ProxyEnable'"); // no key open
    ASSERT_TRUE(reg.OpenKey("Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", true));
    EXPECT_EQ(errorOf("ProxyEnable"), "Failed to get data for 'ProxyEnable'");
    reg.WriteString("ProxyEnable", "1");
    EXPECT_EQ(errorOf("ProxyEnable"), "Invalid data type for 'ProxyEnable'");
    store.modify(RegRoot::CurrentUser, "m", [](RegHive& h) {
        h.create("Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings")
            .set("Multi", RegValue::multiString({ "1" }));
        return true;
    });
    EXPECT_EQ(errorOf("Multi"), "Invalid data type for 'Multi'");
    reg.WriteInteger("ProxyEnable", 1);
    EXPECT_EQ(reg.ReadInteger("ProxyEnable"), 1);

    store.setReadOnly(true);
    try {
        reg.WriteInteger("ProxyEnable", 0);
        ADD_FAILURE();
    } catch (const ServiceError& e) {
        EXPECT_STREQ(e.what(), "Failed to set data for 'ProxyEnable'");
    }
    EXPECT_EQ(reg.ReadInteger("ProxyEnable"), 1); // settings written before stay
}

TEST(TRegistry, RawMultiStringReadAnswersLikeTheSystemCall)
{
    MemoryRegistryStore store = MemoryRegistryStore::fromRegFile(kData / "reg-windows-export-gb2312.reg");
    const char* key = "\\SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\{ABC}";
    EXPECT_EQ(readMultiString(store, RegRoot::LocalMachine, key, "IPAddress"),
        (std::vector<std::string> { "192.168.1.5", "10.0.0.7" }));
    EXPECT_EQ(queryRegistryValue(store, RegRoot::LocalMachine, key, "IPAddress"),
        std::string("192.168.1.5\0"
                    "10.0.0.7\0\0",
            22));
    EXPECT_EQ(queryRegistryValue(store, RegRoot::LocalMachine, key, "EnableDHCP"), std::string(4, '\0'));
    EXPECT_EQ(readMultiString(store, RegRoot::LocalMachine, key, "SubnetMask"), std::nullopt);
    EXPECT_EQ(readMultiString(store, RegRoot::LocalMachine, "SYSTEM\\Nothing", "IPAddress"), std::nullopt);
    EXPECT_EQ(readMultiString(store, RegRoot::CurrentUser, key, "IPAddress"), std::nullopt);
}

TEST(RegFileStore, FolderLayoutAndModes)
{
    test::TempDir dir;
    const auto folder = dir / "deep" / "registry";
    RegFileStore store(folder);
    TRegistry reg(store);
    EXPECT_FALSE(reg.OpenKey("Software", false));
    EXPECT_FALSE(std::filesystem::exists(folder)); // reading creates nothing
    for (RegRoot root : kAllRegRoots) {
        reg.SetRootKey(root);
        ASSERT_TRUE(reg.OpenKey("Software\\X", true));
        reg.WriteString("v", std::string(regRootName(root)));
        reg.CloseKey();
    }
    for (RegRoot root : kAllRegRoots) {
        const auto file = folder / (std::string(regRootName(root)) + ".reg");
        EXPECT_EQ(fileBytes(file),
            "REGEDIT4\n\n[" + std::string(regRootName(root)) + "\\Software]\n\n["
                + std::string(regRootName(root)) + "\\Software\\X]\n\"v\"=\"" + std::string(regRootName(root))
                + "\"\n\n");
        struct stat st {
        };
        ASSERT_EQ(::stat(file.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
    }
    struct stat st {
    };
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(RegFileStore, UnparsableFileIsReportedAndNeverOverwritten)
{
    test::TempDir dir;
    const auto file = dir / "HKEY_LOCAL_MACHINE.reg";
    std::filesystem::copy_file(kData / "reg-unterminated-quote.reg", file);
    const std::string before = fileBytes(file);

    RegFileStore store(dir.path());
    TRegistry reg(store);
    reg.SetRootKey(RegRoot::LocalMachine);
    try {
        reg.OpenKey("SOFTWARE\\tarnwick", true);
        ADD_FAILURE() << "a broken store file was read";
    } catch (const StoreFileError& e) {
        EXPECT_EQ(e.file(), file.string());
        EXPECT_EQ(e.line(), 5);
    }
    // A write reports the value it could not set and keeps the broken file.
    try {
        store.modify(RegRoot::LocalMachine, "Ver", [](RegHive& h) {
            h.create("SOFTWARE\\tarnwick").set("Ver", RegValue::string("1.0"));
            return true;
        });
        ADD_FAILURE();
    } catch (const StoreFileError& e) {
        EXPECT_NE(std::string(e.what()).find(file.string()), std::string::npos);
    }
    EXPECT_EQ(fileBytes(file), before);
    // A file of another root is refused too.
    std::filesystem::copy_file(kData / "reg-windows-export-gb2312.reg", dir / "HKEY_CURRENT_USER.reg");
    EXPECT_THROW(store.load(RegRoot::CurrentUser), StoreFileError);
    // The other roots still work.
    reg.SetRootKey(RegRoot::ClassesRoot);
    EXPECT_TRUE(reg.OpenKey(".twk", true));
}

TEST(RegFileStore, ReadOnlyStoreRefusesWritesAndCreatesNothing)
{
    test::TempDir dir;
    std::filesystem::copy_file(kData / "reg-windows-export-gb2312.reg", dir / "fixture.reg");
    RegFileStore store(dir / "never-made", true);
    TRegistry reg(store);
    reg.SetRootKey(RegRoot::LocalMachine);
    EXPECT_THROW(reg.OpenKey("SOFTWARE\\tarnwick", true), ServiceError);
    EXPECT_FALSE(std::filesystem::exists(dir / "never-made"));

    MemoryRegistryStore fixture = MemoryRegistryStore::fromRegFile(dir.path());
    TRegistry r(fixture);
    r.SetRootKey(RegRoot::LocalMachine);
    ASSERT_TRUE(r.OpenKey("SOFTWARE\\tarnwick", false));
    r.WriteString("Ver", "2.0"); // changes the memory copy only
    EXPECT_EQ(r.ReadString("Ver"), "2.0");
    EXPECT_EQ(fileBytes(dir / "fixture.reg"), fileBytes(kData / "reg-windows-export-gb2312.reg"));
}

TEST(RegFileStore, ConcurrentWritersFromTwoProcessesLoseNothing)
{
    test::TempDir dir;
    constexpr int kWriters = 3;
    constexpr int kValues = 60;
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int status = 0;
            try {
                RegFileStore store(dir.path());
                for (int i = 0; i < kValues; ++i) {
                    TRegistry reg(store);
                    reg.SetRootKey(RegRoot::LocalMachine);
                    reg.OpenKey("SOFTWARE\\tarnwick\\w" + std::to_string(i % 3), true);
                    reg.WriteString("p" + std::to_string(w) + "_" + std::to_string(i), std::to_string(i));
                }
            } catch (...) {
                status = 1;
            }
            ::_exit(status);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    RegFileStore store(dir.path());
    const RegHive hive = store.load(RegRoot::LocalMachine);
    int found = 0;
    for (int w = 0; w < kWriters; ++w) {
        for (int i = 0; i < kValues; ++i) {
            const RegKey* key = hive.find("SOFTWARE\\tarnwick\\w" + std::to_string(i % 3));
            const RegValue* v = key ? key->find("p" + std::to_string(w) + "_" + std::to_string(i)) : nullptr;
            found += (v && v->text == std::to_string(i)) ? 1 : 0;
        }
    }
    EXPECT_EQ(found, kWriters * kValues);
    // No temporary file is left behind (the lock file stays, by design).
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename().string().rfind(".HKEY", 0), std::string::npos) << entry.path();
}
