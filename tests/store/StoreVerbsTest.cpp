#include "Process.h"
#include "StoreTestUtil.h"
#include "TempDir.h"
#include "base/Settings.h"
#include "base/StorePaths.h"
#include "base/linux/RegFileStore.h"
#include "store/StoreMessages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include <sys/stat.h>

using namespace tarnwick;
using namespace tarnwick::test;

namespace
{

std::string lastLine(const std::string& out)
{
    std::string s = out;
    if (!s.empty() && s.back() == '\n')
        s.pop_back();
    return s.substr(s.rfind('\n') == std::string::npos ? 0 : s.rfind('\n') + 1);
}

struct Snapshot {
    std::string bytes;
    timespec mtime {};
    std::vector<std::string> names;
};

Snapshot snapshot(const std::filesystem::path& file)
{
    struct stat st {
    };
    ::stat(file.c_str(), &st);
    return { readBytes(file), st.st_mtim, fileNames(file.parent_path()) };
}

} // namespace

TEST(CheckVerb, PrintsTheResultAndExitsWithIt)
{
    TempDir dir;
    writeBytes(dir / "lower.xml", "<?xml version=\"1.0\" encoding=\"gb2312\"?>\n<ConfigBox LastID=\"0\"/>\n");
    const struct {
        std::string file;
        int expected;
        const char* message; // expected on stderr, or nullptr for none
    } cases[] = {
        { dataFile("config-sample.xml").string(), 0, nullptr },
        { dataFile("config-empty-box.xml").string(), 0, nullptr },
        { (dir / "absent.xml").string(), 1, msg::kConfigNotFound },
        { (dir / "lower.xml").string(), 2, msg::kConfigInvalid },
        { dataFile("config-truncated.xml").string(), 2, msg::kConfigInvalid },
    };
    for (const auto& c : cases) {
        const auto r = runProcess({ binPath("tarnwick"), "check", c.file });
        EXPECT_EQ(r.exitCode, c.expected) << c.file;
        EXPECT_EQ(lastLine(r.out), std::to_string(c.expected)) << c.file;
        if (c.message)
            EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        else
            EXPECT_EQ(r.err, "") << c.file;
    }
}

TEST(ListVerb, PrintsWhatARefreshWouldLoadAndLeavesTheFileAlone)
{
    TempDir dir;
    writeBytes(dir / "odd-names.xml",
        configFileBytes("2", { sampleRecord("1", "two\nlines\tand tab"), sampleRecord("2", " ") }));
    const struct {
        std::filesystem::path file;
        std::string expected;
    } cases[] = {
        { dataFile("config-sample.xml"), "0\t1\t家里\n1\t2\t办公室\n2\t3\tConfig2\n" },
        { dataFile("config-gapped-ids.xml"), "0\t3\tthree\n1\t7\tseven\n2\t9\tnine\n" },
        { dataFile("config-empty-box.xml"), "" },
        { dataFile("config-gbk-name.xml"), "0\t1\t王喆的家\n" },
        { dir / "odd-names.xml", "0\t1\ttwo lines and tab\n1\t2\tConfig1\n" },
    };
    for (const auto& c : cases) {
        TempDir work;
        const auto copy = work / c.file.filename();
        std::filesystem::copy_file(c.file, copy);
        const Snapshot before = snapshot(copy);
        const auto r = runProcess({ binPath("tarnwick"), "list", "--config", copy.string() });
        EXPECT_EQ(r.exitCode, 0) << c.file << r.err;
        EXPECT_EQ(r.out, c.expected) << c.file;
        EXPECT_EQ(r.err, "");
        const Snapshot after = snapshot(copy);
        EXPECT_EQ(after.bytes, before.bytes) << c.file;
        EXPECT_EQ(after.mtime.tv_sec, before.mtime.tv_sec);
        EXPECT_EQ(after.mtime.tv_nsec, before.mtime.tv_nsec);
        EXPECT_EQ(after.names, before.names);
    }
}

// One verdict for one file through the real program: `check` exits 0 for
// exactly the files `list` shows without a warning; a refused file is 2 for
// both with the reason; records that share an ID are all listed after a
// warning naming the ID, and `check` refuses the file naming it.
TEST(StoreVerbs, CheckAndListGiveOneVerdict)
{
    TempDir dir;
    const auto path = dir / "config.xml";
    for (const VerdictCase& c : verdictCases()) {
        SCOPED_TRACE(c.what);
        writeBytes(path, c.bytes);
        const auto check = runProcess({ binPath("tarnwick"), "check", path.string() });
        const auto list = runProcess({ binPath("tarnwick"), "list", "--config", path.string() });
        EXPECT_EQ(readBytes(path), c.bytes);
        if (!c.loads) {
            EXPECT_EQ(check.exitCode, 2);
            EXPECT_NE(check.err.find(c.reason), std::string::npos) << check.err;
            EXPECT_EQ(list.exitCode, 2);
            EXPECT_NE(list.err.find(c.reason), std::string::npos) << list.err;
            EXPECT_EQ(list.out, "");
            continue;
        }
        EXPECT_EQ(list.exitCode, 0) << list.err;
        std::size_t records = 0;
        for (auto at = c.bytes.find("<Record"); at != std::string::npos; at = c.bytes.find("<Record", at + 1))
            ++records;
        EXPECT_EQ(static_cast<std::size_t>(std::count(list.out.begin(), list.out.end(), '\n')), records);
        if (c.repeatedId.empty()) {
            EXPECT_EQ(check.exitCode, 0) << check.err;
            EXPECT_EQ(check.err, "");
            EXPECT_EQ(list.err, "");
        } else {
            EXPECT_EQ(check.exitCode, 2);
            EXPECT_NE(check.err.find("：" + c.repeatedId + "。"), std::string::npos) << check.err;
            EXPECT_NE(list.err.find("warning"), std::string::npos) << list.err;
            EXPECT_NE(list.err.find("：" + c.repeatedId + "。"), std::string::npos) << list.err;
        }
    }
}

// `apply --id` takes the first of the records sharing that ID, as the
// window does, and says so; an ID used once gets no warning. Dry runs.
TEST(StoreVerbs, ApplyByARepeatedIdWarns)
{
    TempDir dir;
    const auto path = copyFixture("config-repeated-id.xml", dir.path());
    const std::map<std::string, std::string> env = { { "TARNWICK_HOME", dir.path().string() } };
    for (const char* id : { "1", "2" }) {
        const auto r = runProcessWithin(
            { binPath("tarnwick"), "apply", "--dry-run", "--config", path.string(), "--id", id },
            std::chrono::seconds(60), env);
        EXPECT_FALSE(r.timedOut);
        const bool warned = r.err.find("warning: 配置文件中有编号（ID）重复的配置：1。") != std::string::npos;
        EXPECT_EQ(warned, std::string(id) == "1") << id << ": " << r.err;
    }
}

// A pipe or a device named as the configuration file is no file of ours:
// both verbs say so at once (the child is killed should one hang).
TEST(StoreVerbs, APipeOrADeviceIsNoConfigurationFile)
{
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo.xml").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", dir / "zero.xml");
    for (const char* name : { "fifo.xml", "zero.xml" }) {
        const std::string path = (dir / name).string();
        for (const std::vector<std::string>& argv : { std::vector<std::string> { "check", path },
                 std::vector<std::string> { "list", "--config", path } }) {
            std::vector<std::string> command { binPath("tarnwick") };
            command.insert(command.end(), argv.begin(), argv.end());
            const auto r = runProcessWithin(command, std::chrono::seconds(20));
            EXPECT_FALSE(r.timedOut) << name << " " << argv[0];
            EXPECT_EQ(r.exitCode, 1) << name << " " << argv[0] << r.err;
            // check reports it missing; list names it as no plain file.
            const std::string said
                = argv[0] == "check" ? std::string(msg::kConfigNotFound) : msg::configFileNotRegular(path);
            EXPECT_NE(r.err.find(said), std::string::npos) << r.err;
        }
    }
}

TEST(ListVerb, MissingAndBrokenFilesAreReported)
{
    TempDir dir;
    auto r = runProcess({ binPath("tarnwick"), "list", "--config", (dir / "gone.xml").string() });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(msg::configFileGone((dir / "gone.xml").string())), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("no configuration file at " + (dir / "gone.xml").string()), std::string::npos)
        << r.err;

    const auto broken = copyFixture("config-truncated.xml", dir.path());
    const std::string before = readBytes(broken);
    r = runProcess({ binPath("tarnwick"), "list", "--config=" + broken.string() });
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find(broken.string()), std::string::npos) << r.err;
    EXPECT_EQ(readBytes(broken), before);
}

// Files whose reading would cost far more than their size: each is refused
// by the start-up's check and by the list, with the reason, quickly.
TEST(StoreVerbs, CostlyFilesAreRefusedWithTheReason)
{
    TempDir dir;
    const std::string decl = "<?xml version=\"1.0\" encoding=\"GB2312\"?>\n";
    struct Case {
        const char* name;
        std::function<void(const std::filesystem::path&)> make;
        const char* reason;
    };
    const Case cases[] = {
        { "entities.xml",
            [&](const std::filesystem::path& p) {
                std::string body
                    = decl + "<!DOCTYPE ConfigBox [<!ENTITY e \"" + std::string(50000, 'x') + "\">]>";
                body += "<ConfigBox LastID=\"1\"><Record ID=\"1\"><NAME>";
                for (int i = 0; i < 20000; ++i)
                    body += "&e;";
                writeBytes(p, body + "</NAME></Record></ConfigBox>\n");
            },
            "document type declaration" },
        { "external.xml",
            [&](const std::filesystem::path& p) {
                writeBytes(p,
                    decl
                        + "<!DOCTYPE ConfigBox [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><ConfigBox "
                          "LastID=\"1\">&x;</ConfigBox>\n");
            },
            "document type declaration" },
        { "attributes.xml",
            [&](const std::filesystem::path& p) {
                std::string body = decl + "<ConfigBox LastID=\"1\"";
                for (int i = 0; i < 200000; ++i)
                    body += " a" + std::to_string(i) + "=\"1\"";
                writeBytes(p, body + "/>\n");
            },
            "attributes" },
        { "bad-bytes.xml",
            [&](const std::filesystem::path& p) {
                writeBytes(p,
                    decl
                        + "<ConfigBox LastID=\"1\"><Record "
                          "ID=\"1\"><NAME>\xff\xff\x80</NAME></Record></ConfigBox>\n");
            },
            "cannot read" },
        { "sparse.xml",
            [&](const std::filesystem::path& p) {
                writeBytes(p, decl);
                std::filesystem::resize_file(p, 3ull * 1024 * 1024 * 1024);
            },
            "larger than any file of this kind" },
    };
    for (const Case& c : cases) {
        const auto path = dir / c.name;
        c.make(path);
        const auto check = runProcess({ binPath("tarnwick"), "check", path.string() });
        EXPECT_EQ(check.exitCode, 2) << c.name;
        const auto list = runProcess({ binPath("tarnwick"), "list", "--config", path.string() });
        EXPECT_EQ(list.exitCode, 2) << c.name;
        EXPECT_NE(list.err.find(c.reason), std::string::npos) << c.name << ": " << list.err;
        EXPECT_EQ(list.out, "") << c.name;
        EXPECT_EQ(list.err.find("encoding error"), std::string::npos) << "no libxml2 noise: " << list.err;
    }
}

TEST(ListVerb, WithoutConfigTakesARelativeSettingFromTheSettingsFolder)
{
    TempDir home;
    TempDir work;
    const std::map<std::string, std::string> env = { { "TARNWICK_HOME", home.path().string() } };
    // A decoy in the working folder: started from there, the verb must not list it.
    std::filesystem::copy_file(dataFile("config-sample.xml"), work / "config.xml");
    std::filesystem::create_directory(work / "sub");
    std::filesystem::copy_file(dataFile("config-sample.xml"), work / "sub" / "office.xml");

    // No setting yet: "config.xml" of the settings folder, and nothing is written.
    std::filesystem::copy_file(dataFile("config-gapped-ids.xml"), home / "config.xml");
    auto r = runProcess({ binPath("tarnwick"), "list" }, env, work.path().string());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "0\t3\tthree\n1\t7\tseven\n2\t9\tnine\n");
    EXPECT_EQ(fileNames(home.path()), std::vector<std::string> { "config.xml" });

    // A relative setting likewise.
    StoreEnvironment storeEnv;
    storeEnv.tarnwickHome = home.path().string();
    RegFileStore store(registryFolder(storeEnv));
    settings::writeConfigFile(store, "sub/office.xml");
    std::filesystem::create_directory(home / "sub");
    std::filesystem::copy_file(dataFile("config-gapped-ids.xml"), home / "sub" / "office.xml");
    r = runProcess({ binPath("tarnwick"), "list" }, env, work.path().string());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "0\t3\tthree\n1\t7\tseven\n2\t9\tnine\n");
}

TEST(StoreVerbs, BadArgumentsGiveUsageAnd64)
{
    const std::vector<std::vector<std::string>> cases = {
        { "check" },
        { "check", "a.xml", "b.xml" },
        { "check", "--config" },
        { "list", "--config" },
        { "list", "extra" },
        { "list", "--config", "a.xml", "--config", "b.xml" },
        { "list", "--verbose" },
    };
    for (const auto& args : cases) {
        std::vector<std::string> argv = { binPath("tarnwick") };
        argv.insert(argv.end(), args.begin(), args.end());
        const auto r = runProcess(argv);
        EXPECT_EQ(r.exitCode, 64) << testing::PrintToString(args);
        EXPECT_NE(r.err.find("usage: tarnwick"), std::string::npos);
        EXPECT_EQ(r.out, "");
    }
}
