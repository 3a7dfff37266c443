#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <sys/types.h>

namespace tarnwick::linuxnet
{

// The IPv4 "nameserver" entries of a resolver file, in order.
std::vector<std::string> parseResolvConf(const std::string& text);

// The resolver file's servers, re-read only when the file changed (another
// inode, size or modification time): the refresh asks every second.
class ResolverServers
{
public:
    explicit ResolverServers(std::filesystem::path file = "/etc/resolv.conf");
    const std::vector<std::string>& servers();

private:
    std::filesystem::path m_file;
    std::vector<std::string> m_servers;
    bool m_known = false;
    dev_t m_dev = 0;
    ino_t m_ino = 0;
    off_t m_size = 0;
    long long m_mtimeNs = 0;
};

} // namespace tarnwick::linuxnet
