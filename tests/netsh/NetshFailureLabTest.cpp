// netsh commands that fail part-way, in the lab: whatever step fails (the
// kernel, the resolver file, the DHCP client), the command reports it and
// leaves addresses, routes, resolver, record and client processes exactly as
// it found them.
#include "LabState.h"
#include "NetshLabCommands.h"
#include "Process.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <sched.h>
#include <set>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tarnwick::test::lab;
using tarnwick::test::runProcess;

namespace
{

// Everything a command may change, as the kernel and the files show it.
struct LinkPicture {
    std::vector<std::string> addresses; // "a.b.c.d/p" with " dynamic" for a lease
    std::string routes; // the main table, `ip -j`
    std::string resolver;
    std::string record;
    std::vector<int> clients;
    bool operator==(const LinkPicture&) const = default;
};

LinkPicture picture()
{
    LinkPicture p;
    for (const auto& a : addresses())
        p.addresses.push_back(a.text + (a.dynamic ? " dynamic" : ""));
    p.routes = runProcess({ "ip", "-j", "-4", "route", "show" }).out;
    p.resolver = resolvConf();
    p.record = stateText();
    p.clients = clientPids();
    return p;
}

std::string describe(const LinkPicture& p)
{
    std::string text = "addresses:";
    for (const auto& a : p.addresses)
        text += " " + a;
    text += "\nroutes: " + p.routes + "resolver:\n" + p.resolver + "record:\n" + p.record + "clients:";
    for (int pid : p.clients)
        text += " " + std::to_string(pid);
    return text;
}

// A file mounted over another for the length of one case: how a test makes a
// program of the system missing or broken for netsh alone (the test process
// has a mount namespace of its own).
class Overlay
{
public:
    Overlay(const std::string& source, const std::string& target)
        : m_target(target)
    {
        m_ok = ::mount(source.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) == 0;
    }
    ~Overlay()
    {
        if (m_ok)
            ::umount2(m_target.c_str(), 0);
    }
    bool ok() const { return m_ok; }

private:
    std::string m_target;
    bool m_ok = false;
};

// The lab's resolver file, read-only for the length of one case.
class ReadOnlyResolver
{
public:
    ReadOnlyResolver()
    {
        m_ok = ::mount(nullptr, "/etc/resolv.conf", nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
    }
    ~ReadOnlyResolver()
    {
        if (m_ok)
            ::mount(nullptr, "/etc/resolv.conf", nullptr, MS_REMOUNT | MS_BIND, nullptr);
    }
    bool ok() const { return m_ok; }

private:
    bool m_ok = false;
};

// Where netsh looks for the clients; merged /usr gives some paths twice.
std::vector<std::string> clientPaths(const std::vector<std::string>& names)
{
    std::set<std::string> seen;
    std::vector<std::string> out;
    for (const auto& name : names)
        for (const char* dir :
            { "/usr/sbin", "/usr/bin", "/sbin", "/bin", "/usr/local/sbin", "/usr/local/bin" }) {
            char* real = ::realpath((std::string(dir) + "/" + name).c_str(), nullptr);
            if (!real)
                continue;
            if (seen.insert(real).second)
                out.emplace_back(real);
            std::free(real);
        }
    return out;
}

enum class Start { Static, Dhcp };
enum class Fault {
    None, // the command itself is refused by the kernel
    ReadOnlyResolver,
    ClientExitsAtOnce,
    ClientCannotStart,
    NoClient,
};

struct Case {
    const char* name;
    Start start;
    Fault fault;
    std::vector<std::string> command;
};

class NetshFailureLab : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        // Our overlays stay in this process's copy of the mounts.
        ASSERT_EQ(::unshare(CLONE_NEWNS), 0);
        ASSERT_EQ(::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr), 0);
    }

    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(resetLink());
        // A second link whose own address no gateway of lan0 may be.
        ASSERT_EQ(
            runProcess({ "ip", "link", "add", "lan9", "type", "veth", "peer", "name", "lan9p" }).exitCode, 0);
        runProcess({ "ip", "link", "set", "lan9", "up" });
        runProcess({ "ip", "link", "set", "lan9p", "up" });
        runProcess({ "ip", "addr", "add", "198.51.100.2/24", "dev", "lan9" });
        m_fake = env("TARNWICK_LAB_DIR") + "/not-a-program";
        std::ofstream(m_fake) << "this is no program\n";
        ::chmod(m_fake.c_str(), 0755);
    }

    void TearDown() override
    {
        runProcess({ "ip", "link", "del", "lan9" });
        expectOk(netsh(c2("192.0.2.250", "255.255.255.0")), "reset");
    }

    void begin(Start start)
    {
        if (start == Start::Static) {
            expectOk(netsh(c3("192.0.2.10", "255.255.255.0", "192.0.2.1")), "C3");
            expectOk(netsh(c4("10.1.0.5", "255.255.0.0")), "C4");
            expectOk(netsh(c6("10.1.0.1")), "C6");
            expectOk(netsh(c8("192.0.2.53")), "C8");
        } else {
            expectOk(netsh(c1(), { { "TARNWICK_DHCP_CLIENT", "dhcpcd" } }), "C1");
            expectOk(netsh(c7()), "C7");
            ASSERT_EQ(clientInstances(), 1);
        }
    }

    // Runs the command with the fault in place; nullptr when the fault cannot be made here.
    std::unique_ptr<tarnwick::test::ProcessResult> runWith(
        Fault fault, const std::vector<std::string>& command)
    {
        std::vector<std::unique_ptr<Overlay>> overlays;
        std::unique_ptr<ReadOnlyResolver> readOnly;
        const auto overlay = [&](const std::string& source, const std::vector<std::string>& names) {
            for (const auto& path : clientPaths(names)) {
                overlays.push_back(std::make_unique<Overlay>(source, path));
                if (!overlays.back()->ok())
                    return false;
            }
            return true;
        };
        bool made = true;
        switch (fault) {
        case Fault::None:
            break;
        case Fault::ReadOnlyResolver:
            readOnly = std::make_unique<ReadOnlyResolver>();
            made = readOnly->ok();
            break;
        case Fault::ClientExitsAtOnce:
            made = overlay("/bin/false", { "dhcpcd" });
            break;
        case Fault::ClientCannotStart:
            made = overlay(m_fake, { "dhcpcd" });
            break;
        case Fault::NoClient:
            made = overlay("/dev/null", { "dhcpcd", "dhclient", "udhcpc", "busybox" });
            break;
        }
        if (!made)
            return nullptr;
        return std::make_unique<tarnwick::test::ProcessResult>(
            netsh(command, { { "TARNWICK_DHCP_CLIENT", "dhcpcd" } }));
    }

    std::string m_fake;
};

} // namespace

TEST_F(NetshFailureLab, AFailedCommandLeavesTheLinkAsItFoundIt)
{
    const std::string otherLinks = "198.51.100.2";
    const std::vector<Case> cases = {
        // The kernel refuses the route after the address has changed.
        { "new address, gateway refused", Start::Static, Fault::None,
            c3("192.0.2.20", "255.255.255.0", otherLinks) },
        { "set gateway refused", Start::Static, Fault::None, c5(otherLinks) },
        { "added gateway refused", Start::Static, Fault::None, c6(otherLinks) },
        { "static over a lease, gateway refused", Start::Dhcp, Fault::None,
            c3("192.0.2.20", "255.255.255.0", otherLinks) },
        // The resolver cannot be written after the addresses and routes changed.
        { "static over a lease, resolver read-only", Start::Dhcp, Fault::ReadOnlyResolver,
            c3("192.0.2.20", "255.255.255.0", "192.0.2.1") },
        { "static DNS, resolver read-only", Start::Static, Fault::ReadOnlyResolver, c8("192.0.2.99") },
        { "added DNS, resolver read-only", Start::Static, Fault::ReadOnlyResolver, c9("192.0.2.98", 1) },
        // The DHCP client is missing, cannot be started or exits at once.
        { "DHCP, client exits at once", Start::Static, Fault::ClientExitsAtOnce, c1() },
        { "DHCP, client cannot start", Start::Static, Fault::ClientCannotStart, c1() },
        { "DHCP, no client", Start::Static, Fault::NoClient, c1() },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(resetLink());
        ASSERT_NO_FATAL_FAILURE(begin(c.start));
        const LinkPicture before = picture();
        const auto r = runWith(c.fault, c.command);
        if (!r) {
            ADD_FAILURE() << "the fault could not be made (the lab runs as root)";
            continue;
        }
        EXPECT_EQ(r->exitCode, 1) << r->out << r->err;
        EXPECT_FALSE(r->err.empty());
        EXPECT_EQ(r->out.find("确定"), std::string::npos) << r->out;
        const LinkPicture after = picture();
        EXPECT_EQ(after, before) << "before:\n" << describe(before) << "\nafter:\n" << describe(after);
        if (c.start == Start::Dhcp) {
            // The client paused for the change runs on and renews as before.
            expectOk(netsh(c1(), { { "TARNWICK_DHCP_CLIENT", "dhcpcd" } }), "C1 after the failure");
            EXPECT_EQ(clientPids(), before.clients);
        }
    }
}
