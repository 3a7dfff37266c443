#pragma once

#include "linkstate/LinkState.h"

#include <filesystem>
#include <optional>
#include <string>

#include <sys/types.h>

namespace tarnwick::linuxnet
{

// netsh's record of one link, re-read only when netsh wrote something: it
// replaces state files by rename, which changes the folder's modification
// time, so a tick costs one stat of the folder.
class LinkStateCache
{
public:
    // The state of `ifname` when it belongs to the interface now at `ifindex`.
    std::optional<LinkState> get(const std::string& ifname, int ifindex);

private:
    struct Stamp {
        dev_t dev = 0;
        ino_t ino = 0;
        long long mtimeNs = 0;
        bool operator==(const Stamp&) const = default;
    };

    std::optional<std::filesystem::path> m_dir;
    std::optional<Stamp> m_stamp; // of the folder when m_state was read
    std::string m_ifname;
    std::optional<LinkState> m_state;
};

} // namespace tarnwick::linuxnet
