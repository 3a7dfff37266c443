#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

typedef struct _GDBusConnection GDBusConnection;

namespace tarnwick::linuxnet
{

// True when a resolver file's servers are only systemd-resolved's local stub
// (127.0.0.53, 127.0.0.54): the namespace resolves through resolved, which
// then knows the per-link servers. A namespace with a resolver file of its own
// (`ip netns exec`) is served from that file instead.
bool resolvesThroughStub(const std::vector<std::string>& servers);

// systemd-resolved's DNS servers of one link, asked over the system bus
// (org.freedesktop.resolve1, the link's "DNS" property), IPv4 only.
class ResolvedServers
{
public:
    // `runtimeDir` exists while resolved runs.
    explicit ResolvedServers(std::filesystem::path runtimeDir = "/run/systemd/resolve");
    ~ResolvedServers();
    ResolvedServers(const ResolvedServers&) = delete;
    ResolvedServers& operator=(const ResolvedServers&) = delete;

    // nullopt when resolved does not run or does not answer (within 200 ms).
    std::optional<std::vector<std::string>> linkServers(int ifindex);

private:
    std::filesystem::path m_runtimeDir;
    GDBusConnection* m_bus = nullptr; // kept: connecting costs more than asking
};

} // namespace tarnwick::linuxnet
