#include "adapters/linux/ResolverServers.h"

#include <arpa/inet.h>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <sys/stat.h>
#include <utility>

namespace tarnwick::linuxnet
{

std::vector<std::string> parseResolvConf(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (const auto hash = line.find_first_of("#;"); hash != std::string::npos)
            line.erase(hash);
        std::istringstream words(line);
        std::string keyword;
        std::string server;
        if (!(words >> keyword >> server) || keyword != "nameserver")
            continue;
        // The window's DNS fields hold IPv4 servers only.
        in_addr probe {};
        if (::inet_pton(AF_INET, server.c_str(), &probe) == 1)
            out.push_back(server);
    }
    return out;
}

ResolverServers::ResolverServers(std::filesystem::path file)
    : m_file(std::move(file))
{
}

const std::vector<std::string>& ResolverServers::servers()
{
    struct stat st {
    };
    if (::stat(m_file.c_str(), &st) != 0) {
        m_servers.clear();
        m_known = false;
        return m_servers;
    }
    const long long mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    if (m_known && st.st_dev == m_dev && st.st_ino == m_ino && st.st_size == m_size && mtimeNs == m_mtimeNs)
        return m_servers;
    std::ifstream in(m_file);
    std::ostringstream text;
    text << in.rdbuf();
    m_servers = parseResolvConf(text.str());
    m_known = true;
    m_dev = st.st_dev;
    m_ino = st.st_ino;
    m_size = st.st_size;
    m_mtimeNs = mtimeNs;
    return m_servers;
}

} // namespace tarnwick::linuxnet
