// The Linux back end's file readers, on fixture trees made per test.
#include "adapters/linux/DeviceDescription.h"
#include "adapters/linux/NetlinkAddresses.h"
#include "adapters/linux/NetlinkLinks.h"
#include "adapters/linux/ResolverServers.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <linux/rtnetlink.h>
#include <vector>

using namespace tarnwick;
using namespace tarnwick::linuxnet;
namespace fs = std::filesystem;

namespace
{

void write(const fs::path& file, const std::string& text)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::trunc) << text;
}

// A sysfs-like tree: class/net/<ifname>/device -> devices/<bus path>, with the
// device's subsystem and driver links.
struct SysTree {
    test::TempDir dir;
    DeviceRoots roots { dir / "sys", dir / "udev" };

    fs::path addDevice(const std::string& ifname, const std::string& busPath, const std::string& subsystem,
        const std::string& driver)
    {
        const fs::path device = roots.sys / "devices" / busPath;
        fs::create_directories(device);
        fs::create_directories(roots.sys / "bus" / subsystem);
        fs::create_directory_symlink(roots.sys / "bus" / subsystem, device / "subsystem");
        if (!driver.empty()) {
            fs::create_directories(roots.sys / "bus" / subsystem / "drivers" / driver);
            fs::create_directory_symlink(
                roots.sys / "bus" / subsystem / "drivers" / driver, device / "driver");
        }
        fs::create_directories(roots.sys / "class/net" / ifname);
        fs::create_directory_symlink(device, roots.sys / "class/net" / ifname / "device");
        return device;
    }
    void addVirtual(const std::string& ifname) { fs::create_directories(roots.sys / "class/net" / ifname); }
};

} // namespace

TEST(DeviceDescription, ModelThenProductThenDriverThenKind)
{
    SysTree t;
    t.addDevice("enp0s3", "pci0000:00/0000:00:03.0", "pci", "e1000");
    write(t.roots.udevData / "+pci:0000:00:03.0",
        "I:123\nE:ID_VENDOR_FROM_DATABASE=Intel Corporation\nE:ID_MODEL_FROM_DATABASE=82540EM Gigabit "
        "Ethernet "
        "Controller\n");
    const fs::path usb = t.addDevice("enx001122", "pci0000:00/usb1/1-1/1-1:1.0", "usb", "cdc_ether");
    write(usb.parent_path() / "product", "USB 10/100 LAN\n");
    t.addDevice("ens4", "pci0000:00/0000:00:04.0", "pci", "virtio_net");
    write(t.roots.udevData / "+pci:0000:00:04.0", "E:ID_PATH=pci-0000:00:04.0\n"); // a record without a model
    t.addDevice("eno9", "platform/eth9", "platform", "");
    t.addVirtual("lan0");

    EXPECT_EQ(describeDevice(t.roots, "enp0s3", ""), "82540EM Gigabit Ethernet Controller");
    EXPECT_EQ(describeDevice(t.roots, "enx001122", ""), "USB 10/100 LAN");
    EXPECT_EQ(describeDevice(t.roots, "ens4", ""), "virtio_net");
    EXPECT_EQ(describeDevice(t.roots, "eno9", ""), "") << "no model, product, driver or kind";
    EXPECT_EQ(describeDevice(t.roots, "lan0", "veth"), "veth");
    EXPECT_EQ(describeDevice(t.roots, "gone0", "bridge"), "bridge");
}

TEST(ResolverServers, NameserverLinesInOrderIpv4Only)
{
    EXPECT_EQ(parseResolvConf("# lab\nnameserver 192.0.2.53\nsearch lab\n  nameserver\t192.0.2.54 # second\n"
                              "nameserver ::1\nnameserver fe80::1%lan0\n;nameserver 10.0.0.1\nnameserver\n"
                              "nameservers 10.0.0.2\nnameserver 10.0.0.300\nnameserver 127.0.0.53\n"),
        (std::vector<std::string> { "192.0.2.53", "192.0.2.54", "127.0.0.53" }));
    EXPECT_TRUE(parseResolvConf("").empty());
}

TEST(ResolverServers, FollowsTheFileWhenItChanges)
{
    test::TempDir dir;
    const fs::path file = dir / "resolv.conf";
    ResolverServers servers(file);
    EXPECT_TRUE(servers.servers().empty()) << "no file";
    write(file, "nameserver 10.0.0.1\n");
    EXPECT_EQ(servers.servers(), std::vector<std::string> { "10.0.0.1" });
    // Replaced by rename, as resolver tools do: another inode.
    write(dir / "new", "nameserver 10.0.0.2\n");
    fs::rename(dir / "new", file);
    EXPECT_EQ(servers.servers(), std::vector<std::string> { "10.0.0.2" });
    fs::remove(file);
    EXPECT_TRUE(servers.servers().empty());
}

TEST(NetlinkAddresses, PrefixLengthToMask)
{
    EXPECT_EQ(prefixToMask(0), "0.0.0.0");
    EXPECT_EQ(prefixToMask(8), "255.0.0.0");
    EXPECT_EQ(prefixToMask(23), "255.255.254.0");
    EXPECT_EQ(prefixToMask(25), "255.255.255.128");
    EXPECT_EQ(prefixToMask(32), "255.255.255.255");
    EXPECT_EQ(prefixToMask(33), "");
}

TEST(NetlinkLinks, LinkLayerAddressText)
{
    const unsigned char ether[] = { 0x02, 0xfc, 0x00, 0x0a, 0xbc, 0xff };
    const unsigned char zero[] = { 0, 0, 0, 0, 0, 0 };
    const unsigned char tunnel[] = { 192, 0, 2, 1 };
    const unsigned char infiniband[20] = { 0x80, 0, 0, 0x48, 0xfe, 0x80 };
    EXPECT_EQ(linkAddressText(ether, sizeof ether), "02:fc:00:0a:bc:ff");
    EXPECT_EQ(linkAddressText(zero, sizeof zero), "") << "loopback's all-zero address is none";
    EXPECT_EQ(linkAddressText(ether, 0), "");
    EXPECT_EQ(linkAddressText(tunnel, sizeof tunnel), "192.0.2.1");
    EXPECT_EQ(linkAddressText(infiniband, sizeof infiniband),
        "80:00:00:48:fe:80:00:00:00:00:00:00:00:00:00:00:00:00:00:00");
}

// Attributes as the kernel packs them, then cut or bent the ways a reply
// must never be trusted: parsing stops at the first bad one.
TEST(NetlinkAttributes, KeepsWellFormedAttributesAndStopsAtABadLength)
{
    std::vector<unsigned char> buf;
    auto put = [&buf](unsigned short type, const void* data, unsigned short size) {
        rtattr a {};
        a.rta_type = type;
        a.rta_len = static_cast<unsigned short>(RTA_LENGTH(size));
        const std::size_t at = buf.size();
        buf.resize(at + RTA_SPACE(size));
        std::memcpy(buf.data() + at, &a, sizeof a);
        std::memcpy(buf.data() + at + RTA_LENGTH(0), data, size);
    };
    const std::uint32_t table = 254;
    put(RTA_TABLE, &table, sizeof table);
    put(RTA_GATEWAY, "\xc0\x00\x02\x01", 4);
    put(RTA_OIF, "\x07", 1); // shorter than its type

    const NetlinkAttributes whole(buf.data(), buf.size(), RTA_MAX);
    EXPECT_EQ(whole.u32(RTA_TABLE), 254u);
    ASSERT_NE(whole[RTA_GATEWAY], nullptr);
    EXPECT_EQ(NetlinkAttributes::size(*whole[RTA_GATEWAY]), 4u);
    EXPECT_EQ(whole.u32(RTA_OIF), std::nullopt);
    EXPECT_EQ(whole.u32(RTA_PRIORITY), std::nullopt);
    EXPECT_EQ(whole[RTA_MAX + 1], nullptr);
    EXPECT_EQ(whole[-1], nullptr);

    // Cut inside the second attribute: the first stays, the second is gone.
    const NetlinkAttributes cut(buf.data(), 8 + 6, RTA_MAX);
    EXPECT_EQ(cut.u32(RTA_TABLE), 254u);
    EXPECT_EQ(cut[RTA_GATEWAY], nullptr);

    // A length beyond the buffer, or shorter than a header, ends the walk.
    for (unsigned short bad : { static_cast<unsigned short>(200), static_cast<unsigned short>(2) }) {
        std::vector<unsigned char> bent = buf;
        std::memcpy(bent.data(), &bad, sizeof bad);
        const NetlinkAttributes b(bent.data(), bent.size(), RTA_MAX);
        EXPECT_EQ(b[RTA_TABLE], nullptr);
        EXPECT_EQ(b[RTA_GATEWAY], nullptr);
    }
}
