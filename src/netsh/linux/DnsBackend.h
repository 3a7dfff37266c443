#pragma once

#include "netsh/linux/ResolverPath.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace tarnwick::netsh
{

// Where the DNS servers of a link go. Throws std::system_error or std::runtime_error.
class DnsBackend
{
public:
    virtual ~DnsBackend() = default;
    // The link's servers become exactly `servers` (none: the link has no servers of ours).
    virtual void setServers(const std::string& ifname, int ifindex, const std::vector<std::string>& servers)
        = 0;
};

// Our marked block of the resolver file, written atomically; written in place
// when the file is a mount point (a bind mount in a network namespace), where
// renaming onto it fails. The file is `path` walked from `root` as
// checkResolverPath does: one a user other than root could steer is refused,
// and the system's own link is kept a link.
class ResolvConfBackend : public DnsBackend
{
public:
    ResolvConfBackend(std::filesystem::path root, std::string path, Links links)
        : m_root(std::move(root))
        , m_path(std::move(path))
        , m_links(links)
    {
    }
    void setServers(const std::string& ifname, int ifindex, const std::vector<std::string>& servers) override;

private:
    std::filesystem::path m_root;
    std::string m_path;
    Links m_links;
};

// systemd-resolved's per-link servers, through its resolvectl program.
class ResolvedBackend : public DnsBackend
{
public:
    explicit ResolvedBackend(std::string resolvectl)
        : m_resolvectl(std::move(resolvectl))
    {
    }
    void setServers(const std::string& ifname, int ifindex, const std::vector<std::string>& servers) override;

private:
    std::string m_resolvectl; // full path
};

// A resolvconf program (openresolv's interface): `-a IFACE` takes the link's
// servers as resolver-file lines on standard input, `-f -d IFACE` drops them.
class ResolvconfBackend : public DnsBackend
{
public:
    explicit ResolvconfBackend(std::string resolvconf)
        : m_resolvconf(std::move(resolvconf))
    {
    }
    void setServers(const std::string& ifname, int ifindex, const std::vector<std::string>& servers) override;

private:
    std::string m_resolvconf; // full path
};

// systemd-resolved when it runs and we are in the namespace it serves (it
// knows only the links of the first network namespace); else resolvconf where
// it is installed (in the first namespace too: its records are the host's);
// else the resolver file.
std::unique_ptr<DnsBackend> makeDnsBackend();

} // namespace tarnwick::netsh
