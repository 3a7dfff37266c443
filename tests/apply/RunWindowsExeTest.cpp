#include "apply/RunWindowsExe.h"
#include "apply/CommandLine.h"
#include "apply/CommandTimedOut.h"

#include "TempDir.h"
#include "TestPaths.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <sys/wait.h>

using namespace tarnwick;
using tarnwick::test::TempDir;
namespace fs = std::filesystem;

namespace
{

const char* kEmit = "tw_test_emit";

std::string joined(const std::vector<std::string>& chunks)
{
    std::string all;
    for (const auto& c : chunks)
        all += c;
    return all;
}

std::string pattern(std::size_t n)
{
    std::string s;
    for (std::size_t k = 0; k < n; ++k)
        s += static_cast<char>('a' + k % 26);
    return s;
}

std::set<std::string> openFds()
{
    std::set<std::string> fds;
    DIR* d = ::opendir("/proc/self/fd");
    while (dirent* e = ::readdir(d)) {
        if (e->d_name[0] != '.' && std::atoi(e->d_name) != ::dirfd(d))
            fds.insert(e->d_name);
    }
    ::closedir(d);
    return fds;
}

// Sets PATH for one test and puts the old one back.
class ScopedPath
{
public:
    explicit ScopedPath(const std::string& value)
    {
        if (const char* old = std::getenv("PATH"))
            m_old = old;
        ::setenv("PATH", value.c_str(), 1);
    }
    ~ScopedPath() { ::setenv("PATH", m_old.c_str(), 1); }

private:
    std::string m_old;
};

RunOptions inDir(const fs::path& dir)
{
    RunOptions o;
    o.programDir = dir;
    return o;
}

RunOptions limited(int ms)
{
    RunOptions o;
    o.limit = std::chrono::milliseconds(ms);
    return o;
}

} // namespace

TEST(SplitCommandLine, FollowsTheWindowsQuotingRules)
{
    struct Case {
        const char* line;
        std::vector<std::string> args;
    };
    const Case cases[] = {
        { R"(netsh interface ip set address name="Local Area Connection" source="dhcp")",
            { "netsh", "interface", "ip", "set", "address", "name=Local Area Connection", "source=dhcp" } },
        // An empty quoted value stays one argument, with nothing after '='.
        { R"(netsh interface ip set dns name="lan0" source="static" addr="" )",
            { "netsh", "interface", "ip", "set", "dns", "name=lan0", "source=static", "addr=" } },
        // The trailing blank after a closing quote adds no argument.
        { R"(netsh x addr="192.0.2.53" )", { "netsh", "x", "addr=192.0.2.53" } },
        // Runs of blanks (the DNS command has two before addr=) separate once.
        { "netsh add dns name=\"lan0\"  addr=\"192.0.2.54\" index=2",
            { "netsh", "add", "dns", "name=lan0", "addr=192.0.2.54", "index=2" } },
        { "a \"\"", { "a", "" } },
        { "a \"\" \"\"", { "a", "", "" } },
        { "  a\tb  ", { "a", "b" } },
        { "", {} },
        { "   ", {} },
        { R"(a b\c d\\e)", { "a", R"(b\c)", R"(d\\e)" } },
        { R"(a \"x\")", { "a", R"("x")" } },
        { R"(a \\"x y")", { "a", R"(\x y)" } },
        { R"(a \\\"x)", { "a", R"(\"x)" } },
        { R"(a "x\"y")", { "a", R"(x"y)" } },
        { R"(a "x""y")", { "a", R"(x"y)" } },
        { R"(a "say ""hi""")", { "a", R"(say "hi")" } },
        { R"(a x"y z"w)", { "a", "xy zw" } },
        { R"(a "unterminated quote)", { "a", "unterminated quote" } },
        { R"(a trailing\)", { "a", R"(trailing\)" } },
        // The program name takes no backslash rules.
        { R"("C:\Program Files\x.exe" y)", { R"(C:\Program Files\x.exe)", "y" } },
        { R"(C:\dir\"x y)", { R"(C:\dir\x y)" } },
        { "名称 name=\"本地 连接\"", { "名称", "name=本地 连接" } },
    };
    for (const auto& c : cases)
        EXPECT_EQ(splitCommandLine(c.line), c.args) << c.line;
}

TEST(RunWindowsExe, QuotedArgumentsArriveAsNetshWouldGetThem)
{
    const auto out = joined(RunWindowsExe(std::string(kEmit)
        + R"( args name="Local Area Connection" addr="" gateway="192.0.2.1" gwmetric=1 )"));
    EXPECT_EQ(out, "[name=Local Area Connection]\n[addr=]\n[gateway=192.0.2.1]\n[gwmetric=1]\n");
}

TEST(RunWindowsExe, TheExitStatusComesWithTheOutput)
{
    struct Case {
        const char* args;
        int status;
        const char* out;
    };
    const Case cases[] = {
        { " text done", 0, "done" },
        { " text refused exit 1", 1, "refused" },
        { " exit 7", 7, "" },
        { " text gone kill", -1, "gone" },
    };
    for (const Case& c : cases) {
        const CommandOutput r = runCommandLine(std::string(kEmit) + c.args);
        EXPECT_EQ(r.exitStatus, c.status) << c.args;
        EXPECT_EQ(joined(r.chunks), c.out) << c.args;
    }
}

TEST(RunWindowsExe, NoOutputGivesNoChunk)
{
    EXPECT_TRUE(RunWindowsExe(std::string(kEmit) + " sleep 1").empty());
}

TEST(RunWindowsExe, LargeOutputArrivesWholeAndInOrder)
{
    for (std::size_t size : { 65537u, 132226u, 1000000u }) {
        const auto chunks = RunWindowsExe(std::string(kEmit) + " out " + std::to_string(size));
        EXPECT_EQ(joined(chunks), pattern(size)) << size;
        EXPECT_GE(chunks.size(), 2u) << size;
        for (const auto& c : chunks) {
            EXPECT_LE(c.size(), kReadSize);
            EXPECT_FALSE(c.empty());
        }
    }
}

TEST(RunWindowsExe, NulCutsItsChunk)
{
    EXPECT_EQ(RunWindowsExe(std::string(kEmit) + " nul"), std::vector<std::string> { "ab" });
}

TEST(RunWindowsExe, StderrAndStdoutBothArriveInOrder)
{
    const auto out = joined(RunWindowsExe(std::string(kEmit) + " text one err two text three"));
    EXPECT_EQ(out, "onetwothree");
}

TEST(RunWindowsExe, MissingProgramRaisesWithTheSystemError)
{
    TempDir dir;
    const ScopedPath path(dir.path().string());
    try {
        RunWindowsExe("tw-no-such-program arg", inDir(dir.path()));
        FAIL() << "no error";
    } catch (const std::system_error& e) {
        EXPECT_EQ(e.code().value(), ENOENT);
        EXPECT_NE(std::string(e.what()).find("tw-no-such-program"), std::string::npos);
        EXPECT_NE(std::string(e.what()).find("No such file or directory"), std::string::npos) << e.what();
    }

    const fs::path notRunnable = dir / "plain.txt";
    std::ofstream(notRunnable) << "not a program\n";
    try {
        RunWindowsExe(notRunnable.string());
        FAIL() << "no error";
    } catch (const std::system_error& e) {
        EXPECT_EQ(e.code().value(), EACCES) << e.what();
    }
    EXPECT_THROW(RunWindowsExe("   "), std::system_error);

    // Runnable but no program: the kernel's refusal comes back, and no shell
    // is tried in its place.
    const fs::path junk = dir / "junk";
    std::ofstream(junk) << "echo not a program\n";
    fs::permissions(junk, fs::perms::owner_all);
    try {
        RunWindowsExe("junk", inDir(dir.path()));
        FAIL() << "no error";
    } catch (const std::system_error& e) {
        EXPECT_EQ(e.code().value(), ENOEXEC) << e.what();
    }
}

TEST(RunWindowsExe, FindsProgramsInItsOwnFoldersNeverOnPath)
{
    // An installed layout: bin/ and libexec/tarnwick/ under one prefix, and a
    // program of the same name on PATH that must never be taken.
    TempDir prefix;
    TempDir onPath;
    const fs::path bin = prefix / "bin";
    const fs::path libexec = prefix / "libexec" / "tarnwick";
    fs::create_directories(bin);
    fs::create_directories(libexec);
    for (const auto& dir : { libexec, onPath.path() })
        fs::copy_file(fs::path(test::kBinDir) / kEmit, dir / "tw-which");
    const ScopedPath path(onPath.path().string());

    EXPECT_EQ(joined(RunWindowsExe("tw-which self", inDir(bin))), (libexec / "tw-which").string());
    // Beside the executable wins over libexec (a build folder holds both).
    fs::copy_file(fs::path(test::kBinDir) / kEmit, bin / "tw-which");
    EXPECT_EQ(joined(RunWindowsExe("tw-which self", inDir(bin))), (bin / "tw-which").string());

    TempDir empty;
    try {
        RunWindowsExe("tw-which self", inDir(empty.path()));
        FAIL() << "taken from PATH";
    } catch (const std::system_error& e) {
        EXPECT_EQ(e.code().value(), ENOENT) << e.what();
    }

    // By default the folder is the running executable's, here the build's bin,
    // and it wins over a copy of the same name on PATH.
    fs::copy_file(fs::path(test::kBinDir) / kEmit, onPath / kEmit);
    EXPECT_EQ(fs::path(joined(RunWindowsExe(std::string(kEmit) + " self"))),
        fs::canonical(fs::path(test::kBinDir) / kEmit));
}

// What running `line` as someone outside the program's group reports: the
// error text, or "" when it ran.
std::string refusalFor(const std::string& line, const fs::path& programDir)
{
    try {
        RunWindowsExe(line, inDir(programDir));
        return {};
    } catch (const std::system_error& e) {
        return std::to_string(e.code().value()) + " " + e.what();
    }
}

TEST(RunWindowsExe, AProgramKeptForAGroupNamesTheGroup)
{
    TempDir prefix;
    const fs::path libexec = prefix / "libexec" / "tarnwick";
    fs::create_directories(libexec);
    fs::create_directories(prefix / "bin");
    fs::copy_file(fs::path(test::kBinDir) / kEmit, libexec / "tw-kept");
    // Like the installed netsh: its group may run it, others not, nor the
    // owner here, so that whoever runs the test is an outsider.
    fs::permissions(
        libexec / "tw-kept", fs::perms::owner_read | fs::perms::group_read | fs::perms::group_exec);
    const std::string expected = std::to_string(EACCES) + " ";
    if (::geteuid() != 0) {
        const std::string refusal = refusalFor("tw-kept self", prefix / "bin");
        EXPECT_TRUE(refusal.starts_with(expected)) << refusal;
        EXPECT_NE(refusal.find("only members of group"), std::string::npos) << refusal;
        return;
    }
    // Root may run anything with an execute bit: the outsider is nobody.
    fs::permissions(prefix.path(),
        fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read
            | fs::perms::others_exec);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        const std::string refusal = refusalFor("tw-kept self", prefix / "bin");
        const bool named = refusal.starts_with(expected)
            && refusal.find("only members of group root") != std::string::npos;
        if (!named)
            std::fprintf(stderr, "refusal: %s\n", refusal.c_str());
        ::_exit(named ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

TEST(RunWindowsExe, LimitKillsReapsAndReports)
{
    try {
        RunWindowsExe(std::string(kEmit) + " text started sleep 20000", limited(300));
        FAIL() << "no time-out";
    } catch (const CommandTimedOut& e) {
        EXPECT_EQ(joined(e.output()), "started");
        EXPECT_NE(std::string(e.what()).find("300 ms"), std::string::npos) << e.what();
    }
    int status = 0;
    EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1) << "a child was left behind";
    EXPECT_EQ(errno, ECHILD);

    // A limit the child stays within changes nothing.
    EXPECT_EQ(joined(RunWindowsExe(std::string(kEmit) + " text fine", limited(20000))), "fine");
}

TEST(RunWindowsExe, NoDescriptorLeaksIntoTheChildOrStaysOpen)
{
    const auto before = openFds();
    // The child may see 0-2 and whatever the test itself inherited without
    // close-on-exec; nothing of the runner's.
    std::set<std::string> allowed = { "0", "1", "2" };
    for (const auto& fd : before) {
        const int flags = ::fcntl(std::stoi(fd), F_GETFD);
        if (flags >= 0 && !(flags & FD_CLOEXEC))
            allowed.insert(fd);
    }
    std::istringstream childFds(joined(RunWindowsExe(std::string(kEmit) + " fds")));
    std::set<std::string> seen;
    for (std::string fd; childFds >> fd;)
        seen.insert(fd);
    EXPECT_TRUE(std::includes(allowed.begin(), allowed.end(), seen.begin(), seen.end()));
    EXPECT_TRUE(seen.count("1") && seen.count("2"));
    EXPECT_THROW(RunWindowsExe("tw-no-such-program"), std::system_error);
    EXPECT_THROW(RunWindowsExe(std::string(kEmit) + " sleep 5000", limited(50)), CommandTimedOut);
    EXPECT_EQ(openFds(), before);
}

TEST(RunWindowsExe, AGrandchildHoldingThePipeDoesNotHoldTheCall)
{
    // The grandchild inherits the pipe as its stdout and outlives the child
    // by 30 s; the call returns when the child ends, not when the pipe closes.
    const auto start = std::chrono::steady_clock::now();
    const auto out = RunWindowsExe(std::string(kEmit) + " text before linger 30000 text after");
    EXPECT_EQ(joined(out), "beforeafter");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(25));
}
