#include "linkstate/LinkState.h"

#include "base/AtomicFile.h"

#include <cerrno>
#include <cstdlib>
#include <net/if.h>
#include <sys/stat.h>
#include <system_error>

namespace tarnwick
{

std::filesystem::path namespaceStateDir()
{
    // secure_getenv: with file capabilities the caller's environment must not
    // choose where a privileged run reads and writes.
    const char* env = ::secure_getenv("TARNWICK_STATE_DIR");
    const std::filesystem::path root = (env && *env) ? env : "/run/tarnwick";
    // The inode of the namespace file names the network namespace while it exists.
    struct stat st {
    };
    if (::stat("/proc/self/ns/net", &st) != 0)
        throw std::system_error(errno, std::generic_category(), "cannot identify the network namespace");
    return root / ("netns-" + std::to_string(st.st_ino));
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
    std::filesystem::create_directories(dir);
    // Replaced by a rename so readers never see half a file, and flushed like
    // every other file of ours.
    writeFileAtomically(dir / (ifname + ".state"), formatLinkState(state), 0644);
}

} // namespace tarnwick
