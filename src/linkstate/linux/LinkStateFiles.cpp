#include "linkstate/LinkState.h"

#include "base/AtomicFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <net/if.h>
#include <stdexcept>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace tarnwick
{

namespace
{

std::filesystem::path stateRoot()
{
    // secure_getenv: with raised rights the caller's environment must not
    // choose where a privileged run reads and writes.
    const char* env = ::secure_getenv("TARNWICK_STATE_DIR");
    return (env && *env) ? env : "/run/tarnwick";
}

void requireSafe(const std::filesystem::path& folder)
{
    struct stat st {
    };
    if (::lstat(folder.c_str(), &st) != 0)
        throw std::runtime_error("状态文件夹 " + folder.string() + " 无法访问：" + std::strerror(errno));
    if (!S_ISDIR(st.st_mode))
        throw std::runtime_error(
            "状态文件夹 " + folder.string() + " 不是真正的文件夹（可能是符号链接），拒绝使用。");
    if (st.st_uid != ::geteuid() || (st.st_mode & 022) != 0)
        throw std::runtime_error(
            "状态文件夹 " + folder.string() + " 不属于当前用户或可被他人写入，拒绝使用。");
}

} // namespace

std::filesystem::path namespaceStateDir()
{
    // secure_getenv: with file capabilities the caller's environment must not
    // choose where a privileged run reads and writes.
    const std::filesystem::path root = stateRoot();
    // The inode of the namespace file names the network namespace while it exists.
    struct stat st {
    };
    if (::stat("/proc/self/ns/net", &st) != 0)
        throw std::system_error(errno, std::generic_category(), "cannot identify the network namespace");
    return root / ("netns-" + std::to_string(st.st_ino));
}

void makeStateFolder(const std::filesystem::path& folder)
{
    const std::filesystem::path root = stateRoot();
    std::vector<std::filesystem::path> chain;
    for (std::filesystem::path p = folder; !p.empty(); p = p.parent_path()) {
        chain.insert(chain.begin(), p);
        if (p == root || p == p.parent_path())
            break;
    }
    if (chain.empty() || chain.front() != root)
        throw std::runtime_error("状态文件夹 " + folder.string() + " 不在 " + root.string() + " 之下。");
    for (const std::filesystem::path& p : chain) {
        if (::mkdir(p.c_str(), 0755) == 0) {
            // Fixed modes, whatever the umask said.
            if (::chmod(p.c_str(), 0755) != 0)
                throw std::runtime_error(
                    "状态文件夹 " + p.string() + " 无法设置权限：" + std::strerror(errno));
        } else if (errno != EEXIST && !(p == root && p.parent_path() == p)) {
            throw std::runtime_error("无法创建状态文件夹 " + p.string() + "：" + std::strerror(errno));
        }
        requireSafe(p);
    }
}

std::optional<LinkState> readLinkState(const std::string& ifname)
{
    if (!isValidInterfaceName(ifname))
        return std::nullopt;
    std::string text;
    try {
        text = readWholeFile(namespaceStateDir() / (ifname + ".state"));
    } catch (const std::system_error&) {
        return std::nullopt;
    }
    auto state = parseLinkState(text);
    if (!state)
        return std::nullopt;
    const unsigned index = ::if_nametoindex(ifname.c_str());
    if (index == 0 || static_cast<int>(index) != state->ifindex)
        return std::nullopt;
    return state;
}

void writeLinkState(const std::string& ifname, const LinkState& state)
{
    if (!isValidInterfaceName(ifname))
        throw std::system_error(std::make_error_code(std::errc::invalid_argument), "bad interface name");
    const auto dir = namespaceStateDir();
    makeStateFolder(dir);
    // Replaced by a rename so readers never see half a file, and flushed like
    // every other file of ours.
    writeFileAtomically(dir / (ifname + ".state"), formatLinkState(state), 0644);
}

void removeLinkState(const std::string& ifname)
{
    if (!isValidInterfaceName(ifname))
        return;
    const auto path = namespaceStateDir() / (ifname + ".state");
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        throw std::system_error(errno, std::generic_category(), "cannot remove " + path.string());
}

} // namespace tarnwick
