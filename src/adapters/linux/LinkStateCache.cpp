#include "adapters/linux/LinkStateCache.h"

#include <exception>
#include <sys/stat.h>

namespace tarnwick::linuxnet
{

std::optional<LinkState> LinkStateCache::get(const std::string& ifname, int ifindex)
{
    try {
        if (!m_dir)
            m_dir = namespaceStateDir();
        struct stat st {
        };
        if (::stat(m_dir->c_str(), &st) != 0) {
            m_stamp.reset();
            m_state.reset();
            return std::nullopt; // netsh never configured a link here
        }
        const Stamp stamp { st.st_dev, st.st_ino,
            static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec };
        if (!m_stamp || *m_stamp != stamp || m_ifname != ifname) {
            m_state = isValidInterfaceName(ifname) ? readLinkState(ifname) : std::nullopt;
            m_stamp = stamp;
            m_ifname = ifname;
        }
    } catch (const std::exception&) {
        // Without netsh's knowledge the reader falls back to what the kernel says.
        m_stamp.reset();
        m_state.reset();
        return std::nullopt;
    }
    // A link re-created under the same name is not the one netsh configured.
    if (m_state && m_state->ifindex != ifindex)
        return std::nullopt;
    return m_state;
}

} // namespace tarnwick::linuxnet
