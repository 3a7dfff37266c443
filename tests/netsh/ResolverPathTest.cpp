// The walk to the resolver file on trees of real folders, links, owners and
// modes: netsh runs as root, so whatever a user other than root could steer
// on the way must stop it before it reads or writes anything.
#include "netsh/linux/ResolverPath.h"
#include "Process.h"
#include "TempDir.h"
#include "netsh/ResolvConf.h"
#include "netsh/linux/DnsBackend.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace tarnwick::netsh;
using tarnwick::test::runForkedWithin;
using tarnwick::test::TempDir;

namespace
{

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

std::string readText(const fs::path& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeText(const fs::path& path, const std::string& text)
{
    std::ofstream(path) << text;
}

void mkdirMode(const fs::path& path, mode_t mode, uid_t owner = 0)
{
    ASSERT_EQ(::mkdir(path.c_str(), 0700), 0) << path;
    ASSERT_EQ(::chown(path.c_str(), owner, owner), 0) << path;
    ASSERT_EQ(::chmod(path.c_str(), mode), 0) << path;
}

// A folder owned by a user other than root, with a file of theirs in it.
void memberFolder(const fs::path& dir)
{
    mkdirMode(dir, 0755, kNobody);
    writeText(dir / "resolv.conf", "nameserver 203.0.113.66\n");
    ASSERT_EQ(::chown((dir / "resolv.conf").c_str(), kNobody, kNobody), 0);
}

// The cases of the first table that were not refused, one a line.
std::string notRefused()
{
    std::string wrong;
    const struct {
        const char* name;
        std::function<void(const fs::path&)> make; // in the tree's root
        std::string path;
        Links links;
    } cases[] = {
        { "link into a member's folder",
            [](const fs::path& d) {
                memberFolder(d / "member");
                fs::create_symlink("member/resolv.conf", d / "resolv.conf");
            },
            "/resolv.conf", Links::RootOwned },
        { "folder on the way is a link to a member's folder",
            [](const fs::path& d) {
                memberFolder(d / "member");
                fs::create_symlink("/member", d / "etc");
            },
            "/etc/resolv.conf", Links::RootOwned },
        { "member's folder further down a root-owned chain",
            [](const fs::path& d) {
                mkdirMode(d / "run", 0755);
                memberFolder(d / "run" / "resolvconf");
                mkdirMode(d / "etc", 0755);
                fs::create_symlink("../run/resolvconf/resolv.conf", d / "etc" / "resolv.conf");
            },
            "/etc/resolv.conf", Links::RootOwned },
        { "group-writable folder on the way",
            [](const fs::path& d) {
                mkdirMode(d / "etc", 0775);
                writeText(d / "etc" / "resolv.conf", "");
            },
            "/etc/resolv.conf", Links::RootOwned },
        { "sticky world-writable folder",
            [](const fs::path& d) {
                mkdirMode(d / "tmp", 01777);
                writeText(d / "tmp" / "resolv.conf", "");
                fs::create_symlink("tmp/resolv.conf", d / "resolv.conf");
            },
            "/resolv.conf", Links::RootOwned },
        { "link owned by a member",
            [](const fs::path& d) {
                writeText(d / "real.conf", "");
                fs::create_symlink("real.conf", d / "resolv.conf");
                ASSERT_EQ(::lchown((d / "resolv.conf").c_str(), kNobody, kNobody), 0);
            },
            "/resolv.conf", Links::RootOwned },
        { "file owned by a member",
            [](const fs::path& d) {
                writeText(d / "resolv.conf", "");
                ASSERT_EQ(::chown((d / "resolv.conf").c_str(), kNobody, kNobody), 0);
            },
            "/resolv.conf", Links::RootOwned },
        { "file others may write",
            [](const fs::path& d) {
                writeText(d / "resolv.conf", "");
                ASSERT_EQ(::chmod((d / "resolv.conf").c_str(), 0666), 0);
            },
            "/resolv.conf", Links::RootOwned },
        { "FIFO", [](const fs::path& d) { ASSERT_EQ(::mkfifo((d / "resolv.conf").c_str(), 0644), 0); },
            "/resolv.conf", Links::RootOwned },
        { "device",
            [](const fs::path& d) {
                ASSERT_EQ(::mknod((d / "resolv.conf").c_str(), S_IFCHR | 0644, makedev(1, 3)), 0);
            },
            "/resolv.conf", Links::RootOwned },
        { "a folder", [](const fs::path& d) { mkdirMode(d / "resolv.conf", 0755); }, "/resolv.conf",
            Links::RootOwned },
        { "links going round",
            [](const fs::path& d) {
                fs::create_symlink("b", d / "a");
                fs::create_symlink("a", d / "b");
            },
            "/a", Links::RootOwned },
        { "any link where none is allowed",
            [](const fs::path& d) {
                writeText(d / "real.conf", "");
                fs::create_symlink("real.conf", d / "resolv.conf");
            },
            "/resolv.conf", Links::None },
    };
    for (const auto& c : cases) {
        TempDir dir;
        c.make(dir.path());
        try {
            checkResolverPath(dir.path(), c.path, c.links);
            wrong += std::string(c.name) + ": accepted\n";
        } catch (const UnsafeResolverPath&) {
        } catch (const std::exception& e) {
            wrong += std::string(c.name) + ": " + e.what() + "\n";
        }
    }
    return wrong;
}

// The cases of the second table that were refused or went astray.
std::string notFollowed()
{
    std::string wrong;
    const struct {
        const char* name;
        std::function<void(const fs::path&)> make;
        std::string path;
        bool exists;
        std::string shown;
    } cases[] = {
        { "a plain file", [](const fs::path& d) { writeText(d / "resolv.conf", ""); }, "/resolv.conf", true,
            "/resolv.conf" },
        { "a missing file in a safe folder", [](const fs::path&) {}, "/resolv.conf", false, "/resolv.conf" },
        { "relative link up and over",
            [](const fs::path& d) {
                mkdirMode(d / "etc", 0755);
                mkdirMode(d / "run", 0755);
                mkdirMode(d / "run" / "resolvconf", 0755);
                writeText(d / "run" / "resolvconf" / "resolv.conf", "");
                fs::create_symlink("../run/resolvconf/resolv.conf", d / "etc" / "resolv.conf");
            },
            "/etc/resolv.conf", true, "/run/resolvconf/resolv.conf" },
        { "absolute link stays in the tree, through a folder link",
            [](const fs::path& d) {
                mkdirMode(d / "etc", 0755);
                mkdirMode(d / "var", 0755);
                mkdirMode(d / "var" / "run", 0755);
                fs::create_symlink("/var/run", d / "run");
                writeText(d / "var" / "run" / "stub.conf", "");
                fs::create_symlink("/run/stub.conf", d / "etc" / "resolv.conf");
            },
            "/etc/resolv.conf", true, "/var/run/stub.conf" },
        { "dangling link to a safe folder",
            [](const fs::path& d) { fs::create_symlink("gone.conf", d / "resolv.conf"); }, "/resolv.conf",
            false, "/gone.conf" },
    };
    for (const auto& c : cases) {
        TempDir dir;
        c.make(dir.path());
        try {
            const CheckedResolverPath found = checkResolverPath(dir.path(), c.path, Links::RootOwned);
            if (found.exists != c.exists || found.shown != c.shown)
                wrong += std::string(c.name) + ": found " + found.shown + "\n";
        } catch (const std::exception& e) {
            wrong += std::string(c.name) + ": " + e.what() + "\n";
        }
    }
    return wrong;
}

// openat2 refused as a kernel without it does, for this process alone.
bool withoutOpenat2()
{
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_openat2, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog prog { static_cast<unsigned short>(std::size(filter)), filter };
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0
        && ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &prog) == 0;
}

} // namespace

TEST(ResolverPath, WhatAUserOtherThanRootCouldSteerIsRefused)
{
    EXPECT_EQ(notRefused(), "");
}

TEST(ResolverPath, TheSystemsOwnLinksAreFollowedWhenOnlyRootCanChangeThem)
{
    EXPECT_EQ(notFollowed(), "");
}

// The walk by openat alone judges every case the same.
TEST(ResolverPath, WithoutOpenat2TheWalkJudgesTheSame)
{
    const int status = runForkedWithin(
        [] {
            if (!withoutOpenat2() || ::syscall(SYS_openat2, AT_FDCWD, ".", nullptr, 0) != -1
                || errno != ENOSYS)
                return 2;
            const std::string wrong = notRefused() + notFollowed();
            std::fputs(wrong.c_str(), stderr);
            return wrong.empty() ? 0 : 1;
        },
        std::chrono::seconds(20));
    EXPECT_EQ(status, 0);
}

// What the member pointed netsh at stays as it was: bytes, owner and mode.
TEST(ResolverPath, TheBackendLeavesAMembersFileAlone)
{
    TempDir dir;
    memberFolder(dir / "member");
    fs::create_symlink("member/resolv.conf", dir / "resolv.conf");
    struct stat before {
    };
    ASSERT_EQ(::stat((dir / "member" / "resolv.conf").c_str(), &before), 0);

    ResolvConfBackend backend(dir.path(), "/resolv.conf", Links::RootOwned);
    try {
        backend.setServers("lan0", 2, { "192.0.2.53" });
        ADD_FAILURE() << "written through a member's folder";
    } catch (const UnsafeResolverPath& e) {
        EXPECT_NE(std::string(e.what()).find("未作任何更改。"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("/member"), std::string::npos) << e.what();
    }
    struct stat after {
    };
    ASSERT_EQ(::stat((dir / "member" / "resolv.conf").c_str(), &after), 0);
    EXPECT_EQ(readText(dir / "member" / "resolv.conf"), "nameserver 203.0.113.66\n");
    EXPECT_EQ(after.st_uid, kNobody);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_TRUE(fs::is_symlink(dir / "resolv.conf"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "member"), fs::directory_iterator()), 1)
        << "no temporary file left in the member's folder";
}

// A FIFO would hold a plain read for ever; netsh refuses it at once.
TEST(ResolverPath, TheBackendRefusesAFifoWithoutWaiting)
{
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "resolv.conf").c_str(), 0644), 0);
    ResolvConfBackend backend(dir.path(), "/resolv.conf", Links::RootOwned);
    EXPECT_THROW(backend.setServers("lan0", 2, { "192.0.2.53" }), UnsafeResolverPath);
}

// The replacement is root's whoever started netsh, keeps the old mode, and
// leaves no temporary file beside it.
TEST(ResolverPath, TheReplacementIsRootsWithTheOldMode)
{
    TempDir dir;
    writeText(dir / "resolv.conf", "search example.org\n");
    ASSERT_EQ(::chmod((dir / "resolv.conf").c_str(), 0640), 0);
    ResolvConfBackend backend(dir.path(), "/resolv.conf", Links::None);
    backend.setServers("lan0", 2, { "192.0.2.53" });
    struct stat st {
    };
    ASSERT_EQ(::stat((dir / "resolv.conf").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_uid, 0u);
    EXPECT_EQ(
        resolvConfServers(readText(dir / "resolv.conf"), "lan0"), std::vector<std::string> { "192.0.2.53" });
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}
