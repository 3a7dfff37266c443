// The quick-switch file, the launcher and the file type, on real files in a
// temporary folder.
#include "Process.h"
#include "TempDir.h"
#include "base/AtomicFile.h"
#include "base/MemoryRegistryStore.h"
#include "base/TRegistry.h"
#include "shortcuts/DesktopFiles.h"
#include "shortcuts/QuickSwitchFile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>

using namespace tarnwick;
using tarnwick::test::TempDir;
namespace fs = std::filesystem;

namespace
{

void writeText(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

unsigned modeOf(const fs::path& path)
{
    struct stat st {
    };
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

} // namespace

TEST(QuickSwitchFile, WrittenAsTheDeclarationLineAndTheRootWithItsTwoValues)
{
    TempDir dir;
    const fs::path path = dir / quickSwitchFileName("Office");
    EXPECT_EQ(path.filename().string(), "切换到[Office].twk");
    writeQuickSwitchFile(path, "7", 1);
    EXPECT_EQ(readWholeFile(path),
        "<?xml version=\"1.0\" encoding=\"GB2312\"?>\n<SkiffnetQuickSwitch CfgID=\"7\" CardID=\"1\"/>\n");
    const QuickSwitch back = readQuickSwitchFile(path);
    EXPECT_EQ(back.cfgId, "7");
    EXPECT_EQ(back.cardId, 1);

    // A second export of the same caption replaces the file.
    writeQuickSwitchFile(path, "9", -1);
    EXPECT_EQ(readQuickSwitchFile(path).cfgId, "9");
    EXPECT_EQ(readQuickSwitchFile(path).cardId, -1);
}

TEST(QuickSwitchFile, CaptionsThatCannotNameAFile)
{
    EXPECT_EQ(whyNoFileName("家里"), "");
    EXPECT_EQ(whyNoFileName("a\\b:c*?<>|\""), "") << "only Windows forbids these";
    EXPECT_NE(whyNoFileName("home/office"), "");
    EXPECT_NE(whyNoFileName("line\nbreak"), "");
    EXPECT_NE(whyNoFileName(std::string(250, 'x')), "");
}

TEST(QuickSwitchFile, FilesFromAnywhereAreRefusedWithTheReason)
{
    const std::string decl = "<?xml version=\"1.0\" encoding=\"GB2312\"?>\n";
    const struct {
        const char* what;
        std::string bytes;
        const char* says;
    } cases[] = {
        { "not XML", "hello", "不是可读的快速切换文件" },
        { "another root", decl + "<ConfigBox LastID=\"1\"/>", "根元素" },
        { "no CfgID", decl + "<SkiffnetQuickSwitch CfgID=\"\" CardID=\"0\"/>", "CfgID" },
        { "CardID not a number", decl + "<SkiffnetQuickSwitch CfgID=\"1\" CardID=\"x1\"/>", "CardID" },
        { "CardID below -1", decl + "<SkiffnetQuickSwitch CfgID=\"1\" CardID=\"-2\"/>", "CardID" },
        { "a document type declaration",
            decl
                + "<!DOCTYPE SkiffnetQuickSwitch [<!ENTITY e \"1\">]><SkiffnetQuickSwitch CfgID=\"&e;\" "
                  "CardID=\"0\"/>",
            "不是可读的快速切换文件" },
        { "billion laughs",
            decl
                + "<!DOCTYPE q [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
                  "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d "
                  "\"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">]>"
                  "<SkiffnetQuickSwitch CfgID=\"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\" CardID=\"0\"/>",
            "文档类型声明" },
        { "larger than 64 KB",
            decl + "<SkiffnetQuickSwitch CfgID=\"1\" CardID=\"0\">" + std::string(70 * 1024, ' ')
                + "</SkiffnetQuickSwitch>",
            "不是可读的快速切换文件" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        writeText(dir / "x.twk", c.bytes);
        try {
            readQuickSwitchFile(dir / "x.twk");
            ADD_FAILURE() << "read";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
        }
    }
}

// A .twk from an archive can be a pipe or a link to a device: the open
// would wait for a writer for ever, the read never end.
TEST(QuickSwitchFile, OnlyRegularFilesAreReadAndNoFurtherThanTheLimit)
{
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo.twk").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", dir / "zero.twk");
    fs::create_symlink(dir / "fifo.twk", dir / "to-fifo.twk");
    fs::create_directory(dir / "folder.twk");
    // Regular, but claims 0 bytes and gives megabytes.
    fs::create_symlink("/proc/kallsyms", dir / "proc.twk");
    const struct {
        const char* name;
        const char* says;
    } cases[] = {
        { "fifo.twk", "不是普通文件" },
        { "zero.twk", "不是普通文件" },
        { "to-fifo.twk", "不是普通文件" },
        { "folder.twk", "不是普通文件" },
        { "proc.twk", "大于 64 KB" },
    };
    for (const auto& c : cases) {
        const fs::path path = dir / c.name;
        const int result = tarnwick::test::runForkedWithin(
            [&] {
                try {
                    readQuickSwitchFile(path);
                    return 1;
                } catch (const std::runtime_error& e) {
                    const std::string what = e.what();
                    return what.find("不是可读的快速切换文件") != std::string::npos
                            && what.find(c.says) != std::string::npos
                        ? 0
                        : 2;
                }
            },
            std::chrono::seconds(20));
        EXPECT_EQ(result, 0) << c.name << (result < 0 ? ": hung or ran out of memory" : "");
    }
}

TEST(DesktopFolder, FromUserDirsWithHomeExpandedElseNothing)
{
    const struct {
        const char* text;
        std::optional<fs::path> folder;
    } cases[] = {
        { "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/桌面\"\n", fs::path("/home/ann/桌面") },
        { "XDG_DOWNLOAD_DIR=\"$HOME/dl\"\nXDG_DESKTOP_DIR=\"/srv/desk\"\n", fs::path("/srv/desk") },
        { "XDG_DESKTOP_DIR=\"$HOME/\"\n", fs::path("/home/ann/") },
        { "XDG_DESKTOP_DIR=relative\n", std::nullopt },
        { "XDG_DESKTOP_DIR=\"Desktop\"\n", std::nullopt },
        { "", std::nullopt },
    };
    for (const auto& c : cases)
        EXPECT_EQ(desktopFromUserDirs(c.text, "/home/ann"), c.folder) << c.text;
}

TEST(DesktopEntries, ExecArgumentsQuotedAsTheSpecificationSays)
{
    EXPECT_EQ(execArgument("/opt/tarnwick/bin/tarnwick"), "\"/opt/tarnwick/bin/tarnwick\"");
    EXPECT_EQ(execArgument("/home/ann/my apps/tarnwick"), "\"/home/ann/my apps/tarnwick\"");
    EXPECT_EQ(execArgument("/a\"b$c`d"), "\"/a\\\\\"b\\\\$c\\\\`d\"");
    EXPECT_EQ(execArgument("/a\\b"), "\"/a\\\\\\\\b\"");
    EXPECT_EQ(execArgument("/100%/x"), "\"/100%%/x\"");
}

TEST(Launcher, AnExecutableDesktopEntryThatStartsTheProgramInItsFolder)
{
    TempDir dir;
    const fs::path desktop = dir / "桌面";
    createLauncher(desktop, "/opt/my apps/tarnwick", kLauncherName, kLauncherDescription);
    const fs::path entry = desktop / "Tarnwick.desktop";
    EXPECT_EQ(readWholeFile(entry),
        "[Desktop Entry]\nType=Application\nVersion=1.0\nName=Tarnwick\n"
        "Comment=Tarnwick\\n    切换IP工具的好工具\\n    版本：V" TARNWICK_VERSION "\n"
        "Exec=\"/opt/my apps/tarnwick\"\nPath=/opt/my apps\nIcon=tarnwick\nTerminal=false\n");
    EXPECT_EQ(modeOf(entry), 0755u);
    EXPECT_TRUE(deleteLauncher(desktop, kLauncherName));
    EXPECT_FALSE(fs::exists(entry));
    EXPECT_FALSE(deleteLauncher(desktop, kLauncherName));
}

TEST(FileType, RegistryStoreGetsTheFiveKeys)
{
    MemoryRegistryStore store;
    registerFileTypeKeys(store, "/opt/my apps/tarnwick");
    TRegistry reg(store);
    reg.SetRootKey(RegRoot::ClassesRoot);
    const std::pair<const char*, const char*> keys[] = {
        { ".twk", "twk_Auto_File" },
        { "twk_Auto_File", "Tarnwick Config File" },
        { "twk_Auto_File\\DefaultIcon", "/opt/my apps/tarnwick,0" },
        { "twk_Auto_File\\shell\\open\\command", "/opt/my apps/tarnwick %1" },
        { "twk_Auto_File\\shell\\Open with Tarnwick\\command", "/opt/my apps/tarnwick %1" },
    };
    for (const auto& [key, value] : keys) {
        ASSERT_TRUE(reg.OpenKeyReadOnly(key)) << key;
        EXPECT_EQ(reg.ReadString(""), value) << key;
        reg.CloseKey();
    }
}

TEST(FileType, FreedesktopFilesWrittenOnceAndTheDatabasesUpdatedOnlyAfterAChange)
{
    TempDir dir;
    const DesktopPaths paths { dir / "Desktop", dir / "data", dir / "config" };
    writeText(paths.configHome / "mimeapps.list", "[Default Applications]\ntext/plain=editor.desktop\n");
    std::vector<std::string> ran;
    const ToolRunner record = [&](const std::vector<std::string>& argv) { ran.push_back(argv.at(0)); };

    const auto first = registerQuickSwitchType(paths, "/opt/my apps/tarnwick", "PNG", record);
    EXPECT_EQ(first.size(), 4u);
    EXPECT_EQ(ran, (std::vector<std::string> { "update-mime-database", "update-desktop-database" }));
    const std::string mime = readWholeFile(paths.dataHome / "mime/packages/tarnwick-quickswitch.xml");
    EXPECT_NE(mime.find("<glob pattern=\"*.twk\"/>"), std::string::npos);
    EXPECT_NE(mime.find("localName=\"SkiffnetQuickSwitch\""), std::string::npos);
    const std::string entry = readWholeFile(paths.dataHome / "applications/tarnwick.desktop");
    EXPECT_NE(entry.find("\nExec=\"/opt/my apps/tarnwick\" %f\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nMimeType=application/x-tarnwick-quickswitch;\n"), std::string::npos);
    EXPECT_EQ(readWholeFile(paths.dataHome / "icons/hicolor/256x256/apps/tarnwick.png"), "PNG");
    const std::string defaults = readWholeFile(paths.configHome / "mimeapps.list");
    EXPECT_NE(defaults.find("text/plain=editor.desktop"), std::string::npos) << "the user's own choice stays";
    EXPECT_NE(defaults.find("application/x-tarnwick-quickswitch=tarnwick.desktop"), std::string::npos);

    // An ordinary start: nothing differs, nothing is written or updated.
    const auto mtime = fs::last_write_time(paths.dataHome / "applications/tarnwick.desktop");
    ran.clear();
    EXPECT_TRUE(registerQuickSwitchType(paths, "/opt/my apps/tarnwick", "PNG", record).empty());
    EXPECT_TRUE(ran.empty());
    EXPECT_EQ(fs::last_write_time(paths.dataHome / "applications/tarnwick.desktop"), mtime);

    // The program moved: its entry is rewritten, the MIME type is not.
    const auto moved = registerQuickSwitchType(paths, "/usr/bin/tarnwick", "PNG", record);
    EXPECT_EQ(moved, std::vector<fs::path> { paths.dataHome / "applications/tarnwick.desktop" });
    EXPECT_EQ(ran, std::vector<std::string> { "update-desktop-database" });
}
