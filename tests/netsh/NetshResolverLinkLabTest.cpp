// The real netsh in the lab, its resolver file steered by a link into a
// folder a user other than root owns: netsh refuses, and the user's file and
// the link's servers stay as they were. The test process has a mount
// namespace of its own, so what it mounts over /etc is netsh's view alone.
#include "LabState.h"
#include "NetshLabCommands.h"
#include "Process.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tarnwick::test::lab;
using tarnwick::test::ProcessResult;

namespace
{

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;
const std::string kMembersText = "# the member's own file\nnameserver 203.0.113.66\n";

std::string readText(const fs::path& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A folder of `nobody` holding a resolver file of theirs.
fs::path memberFile(const fs::path& folder)
{
    ::mkdir(folder.c_str(), 0755);
    EXPECT_EQ(::chown(folder.c_str(), kNobody, kNobody), 0);
    const fs::path file = folder / "resolv.conf";
    std::ofstream(file) << kMembersText;
    EXPECT_EQ(::chown(file.c_str(), kNobody, kNobody), 0);
    return file;
}

// Undoes one mount at the end of a case.
class Mounted
{
public:
    Mounted(const std::string& source, const std::string& target, const char* type, unsigned long flags,
        const char* data = nullptr)
        : m_target(target)
    {
        m_ok = ::mount(source.c_str(), target.c_str(), type, flags, data) == 0;
    }
    ~Mounted()
    {
        if (m_ok)
            ::umount2(m_target.c_str(), MNT_DETACH);
    }
    bool ok() const { return m_ok; }

private:
    std::string m_target;
    bool m_ok = false;
};

} // namespace

TEST(NetshResolverLink, ALinkIntoAMembersFolderIsRefusedAndTheirFileStays)
{
    ASSERT_NO_FATAL_FAILURE(resetLink());
    const fs::path labDir = env("TARNWICK_LAB_DIR");
    ASSERT_FALSE(labDir.empty());
    const std::string record = stateText();

    const struct {
        const char* name;
        // Makes the shape and returns the member's file; the mount it needs
        // lives as long as the returned holder.
        std::function<std::unique_ptr<Mounted>(fs::path&)> make;
    } cases[] = {
        // `ip netns exec` mounts /etc/netns/NS/resolv.conf over the resolver
        // file, following a link there to whatever it names.
        { "the lab's file is a link into the member's folder",
            [&](fs::path& file) {
                file = memberFile(labDir / "member-a");
                const fs::path link = labDir / "netns-resolv.conf";
                fs::create_symlink(file, link);
                return std::make_unique<Mounted>(link.string(), "/etc/resolv.conf", nullptr, MS_BIND);
            } },
        // The resolver file itself a link, as a distribution makes it.
        { "/etc/resolv.conf is a link into the member's folder",
            [&](fs::path& file) {
                auto etc = std::make_unique<Mounted>("tw-etc", "/etc", "tmpfs", 0, "mode=0755");
                if (!etc->ok())
                    return etc;
                file = memberFile("/etc/member-b");
                fs::create_symlink("member-b/resolv.conf", "/etc/resolv.conf");
                return etc;
            } },
    };
    for (const auto& c : cases) {
        fs::path file;
        ProcessResult r;
        {
            const auto mounted = c.make(file);
            ASSERT_TRUE(mounted->ok()) << c.name << ": " << std::strerror(errno);
            r = netsh(c8("192.0.2.99"));
        }
        EXPECT_EQ(r.exitCode, 1) << c.name << ": " << r.out << r.err;
        EXPECT_NE(r.err.find("解析器文件“/etc/resolv.conf”不安全："), std::string::npos)
            << c.name << ": " << r.err;
        EXPECT_NE(r.err.find("未作任何更改。"), std::string::npos) << c.name << ": " << r.err;
        if (!file.empty() && fs::exists(file)) {
            EXPECT_EQ(readText(file), kMembersText) << c.name;
            struct stat st {
            };
            ASSERT_EQ(::stat(file.c_str(), &st), 0);
            EXPECT_EQ(st.st_uid, kNobody) << c.name;
        }
        EXPECT_TRUE(nameservers().empty()) << c.name << ": " << resolvConf();
        EXPECT_EQ(stateText(), record) << c.name << ": the link's record stays";
    }
    // The lab's own file, bind-mounted and root's, is written as before.
    expectOk(netsh(c8("192.0.2.99")), "the lab's own file");
    EXPECT_EQ(nameservers(), std::vector<std::string> { "192.0.2.99" }) << resolvConf();
    expectOk(netsh(c7()), "reset dns");
}
