#pragma once

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
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
    enum class Mode {
        Wait, // ask and wait for the answer (up to 200 ms per call): one-shot reads
        Background, // never wait: the window's once-a-second refresh
    };

    // `runtimeDir` exists while resolved runs.
    explicit ResolvedServers(
        Mode mode = Mode::Wait, std::filesystem::path runtimeDir = "/run/systemd/resolve");
    ~ResolvedServers();
    ResolvedServers(const ResolvedServers&) = delete;
    ResolvedServers& operator=(const ResolvedServers&) = delete;

    // nullopt when resolved does not run or does not answer. In Background
    // mode the answer is the last reading for that link (nullopt before the
    // first); a reading older than a second is renewed on a thread of this
    // object's own, so a bus that hangs never holds up the caller.
    std::optional<std::vector<std::string>> linkServers(int ifindex);

private:
    using Clock = std::chrono::steady_clock;
    std::optional<std::vector<std::string>> ask(int ifindex);
    void serveRequests();

    Mode m_mode;
    std::filesystem::path m_runtimeDir;
    GDBusConnection* m_bus = nullptr; // kept: connecting costs more than asking

    // Background mode: guarded by m_mutex.
    std::mutex m_mutex;
    std::condition_variable m_wake;
    int m_requested = 0; // a link to ask about, 0 for none
    bool m_stopping = false;
    int m_readLink = 0;
    std::optional<std::vector<std::string>> m_reading;
    Clock::time_point m_readAt;
    std::thread m_asker; // started at the first request
};

} // namespace tarnwick::linuxnet
