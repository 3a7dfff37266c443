// Where a link's DNS servers go: the resolver file (real files, the system's
// symbolic links followed) or resolved through its resolvectl program, which a fake
// stands in for, since resolved does not run on a test machine.
#include "netsh/linux/DnsBackend.h"
#include "Process.h"
#include "TempDir.h"
#include "netsh/ResolvConf.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace tarnwick;
using namespace tarnwick::netsh;
using tarnwick::test::binPath;
using tarnwick::test::TempDir;

namespace
{

namespace fs = std::filesystem;

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

class FakeResolvectl : public ::testing::Test
{
protected:
    void SetUp() override { ::setenv("FAKE_RESOLVECTL_LOG", (m_dir / "calls").c_str(), 1); }
    void TearDown() override
    {
        ::unsetenv("FAKE_RESOLVECTL_LOG");
        ::unsetenv("FAKE_RESOLVECTL_EXIT");
    }
    std::string calls() const { return readText(m_dir / "calls"); }

    TempDir m_dir;
    ResolvedBackend m_backend { binPath("fake_resolvectl") };
};

} // namespace

TEST_F(FakeResolvectl, ServersGoToTheLinkAndNoneRevertsIt)
{
    const struct {
        std::vector<std::string> servers;
        std::string call;
    } cases[] = {
        { { "192.0.2.53" }, "dns lan0 192.0.2.53\n" },
        { { "192.0.2.53", "192.0.2.54", "10.1.0.53" }, "dns lan0 192.0.2.53 192.0.2.54 10.1.0.53\n" },
        { {}, "revert lan0\n" },
    };
    for (const auto& c : cases) {
        fs::remove(m_dir / "calls");
        m_backend.setServers("lan0", 2, c.servers);
        EXPECT_EQ(calls(), c.call);
    }
}

TEST_F(FakeResolvectl, AFailedOrMissingProgramIsAnError)
{
    ::setenv("FAKE_RESOLVECTL_EXIT", "1", 1);
    EXPECT_THROW(m_backend.setServers("lan0", 2, { "192.0.2.53" }), std::runtime_error);
    ResolvedBackend missing((m_dir / "no-such-program").string());
    EXPECT_THROW(missing.setServers("lan0", 2, { "192.0.2.53" }), std::runtime_error);
}

// resolvconf gets the link's servers as resolver-file lines, no shell between.
TEST_F(FakeResolvectl, ResolvconfTakesTheServersOnItsInputAndDropsTheLink)
{
    ResolvconfBackend backend(binPath("fake_resolvectl"));
    const struct {
        std::vector<std::string> servers;
        std::string call;
    } cases[] = {
        { { "192.0.2.53" }, "-a lan0\nnameserver 192.0.2.53\n" },
        { { "192.0.2.53", "10.1.0.53" }, "-a lan0\nnameserver 192.0.2.53\nnameserver 10.1.0.53\n" },
        { {}, "-f -d lan0\n" },
    };
    for (const auto& c : cases) {
        fs::remove(m_dir / "calls");
        backend.setServers("lan0", 2, c.servers);
        EXPECT_EQ(calls(), c.call);
    }
    ::setenv("FAKE_RESOLVECTL_EXIT", "1", 1);
    EXPECT_THROW(backend.setServers("lan0", 2, { "192.0.2.53" }), std::runtime_error);
}

TEST(ResolvConfFile, OurBlockIsWrittenThroughASymbolicLinkAndTheRestStays)
{
    TempDir dir;
    writeText(dir / "generated.conf", "search example.org\nnameserver 198.51.100.1\n");
    fs::create_symlink("generated.conf", dir / "resolv.conf");
    ResolvConfBackend backend(dir.path(), "/resolv.conf", Links::RootOwned);

    backend.setServers("lan0", 2, { "192.0.2.53", "192.0.2.54" });
    EXPECT_TRUE(fs::is_symlink(dir / "resolv.conf")) << "the link stays a link";
    const std::string written = readText(dir / "generated.conf");
    EXPECT_EQ(resolvConfServers(written, "lan0"), (std::vector<std::string> { "192.0.2.53", "192.0.2.54" }));
    EXPECT_NE(written.find("search example.org\n"), std::string::npos) << written;
    EXPECT_EQ(written.find("\nnameserver 198.51.100.1"), std::string::npos) << "the old server left:\n"
                                                                            << written;

    backend.setServers("lan0", 2, {});
    EXPECT_EQ(readText(dir / "generated.conf"), "search example.org\nnameserver 198.51.100.1\n");
}

TEST(ResolvConfFile, AMissingFileIsCreatedWithOnlyOurBlock)
{
    TempDir dir;
    ResolvConfBackend backend(dir.path(), "/resolv.conf", Links::None);
    backend.setServers("lan0", 2, { "192.0.2.53" });
    const std::string written = readText(dir / "resolv.conf");
    EXPECT_EQ(resolvConfServers(written, "lan0"), std::vector<std::string> { "192.0.2.53" });
    EXPECT_EQ(written, updateResolvConf("", "lan0", { "192.0.2.53" }));
}
