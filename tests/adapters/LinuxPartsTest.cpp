// The Linux back end's file readers, on fixture trees made per test.
#include "adapters/linux/DeviceDescription.h"
#include "adapters/linux/ResolverServers.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
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
