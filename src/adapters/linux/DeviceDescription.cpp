#include "adapters/linux/DeviceDescription.h"

#include <fstream>
#include <system_error>

namespace tarnwick::linuxnet
{

namespace fs = std::filesystem;

namespace
{

std::string firstLine(const fs::path& file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    return line;
}

// "E:KEY=value" lines of a udev database record.
std::string udevProperty(const fs::path& record, const std::string& key)
{
    std::ifstream in(record);
    const std::string prefix = "E:" + key + "=";
    for (std::string line; std::getline(in, line);) {
        if (line.compare(0, prefix.size(), prefix) == 0)
            return line.substr(prefix.size());
    }
    return {};
}

} // namespace

std::string describeDevice(const DeviceRoots& roots, const std::string& ifname, const std::string& kind)
{
    std::error_code ec;
    const fs::path deviceLink = roots.sys / "class/net" / ifname / "device";
    const fs::path device = fs::canonical(deviceLink, ec);
    if (!ec) {
        const fs::path subsystem = fs::read_symlink(device / "subsystem", ec);
        if (!ec) {
            const fs::path record
                = roots.udevData / ("+" + subsystem.filename().string() + ":" + device.filename().string());
            for (const char* key : { "ID_MODEL_FROM_DATABASE", "ID_MODEL" }) {
                if (std::string model = udevProperty(record, key); !model.empty())
                    return model;
            }
        }
        // USB adapters: the product text sits on the USB device, one level up.
        for (const fs::path& dir : { device, device.parent_path() }) {
            if (std::string product = firstLine(dir / "product"); !product.empty())
                return product;
        }
        const fs::path driver = fs::read_symlink(device / "driver", ec);
        if (!ec && !driver.filename().empty())
            return driver.filename().string();
    }
    return kind;
}

} // namespace tarnwick::linuxnet
