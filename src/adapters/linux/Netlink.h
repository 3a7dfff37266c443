#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

struct nl_sock;
struct nl_cache;
struct nl_cb;
struct nlmsghdr;

namespace tarnwick::linuxnet
{

struct CacheDeleter {
    void operator()(nl_cache* cache) const;
};
// A libnl cache filled from one dump, freed with its objects.
using Cache = std::unique_ptr<nl_cache, CacheDeleter>;

// One dump request: the family header, and 32-bit attributes that ask the
// kernel to filter (honoured under strict checking; readers filter again).
struct DumpRequest {
    int type = 0; // RTM_GETADDR, ...
    const void* header = nullptr;
    std::size_t headerSize = 0;
    std::vector<std::pair<int, std::uint32_t>> filters;
};

// A connected rtnetlink socket, kept open across refreshes so a tick costs
// only its dumps. Asks the kernel for strict checking, which lets address
// dumps be filtered by interface on the kernel side.
class NetlinkSocket
{
public:
    NetlinkSocket(); // throws std::system_error
    ~NetlinkSocket();
    NetlinkSocket(const NetlinkSocket&) = delete;
    NetlinkSocket& operator=(const NetlinkSocket&) = delete;

    nl_sock* get() const { return m_sock; }

    // Sends one dump request and collects the replies into a new cache of
    // the libnl type `cacheName` ("route/addr"). Throws std::system_error
    // when the kernel refuses or the socket fails.
    Cache dump(const char* cacheName, const DumpRequest& request);

    // Sends one dump request and hands each reply message to `visit`, which
    // reads what it needs straight from the message. The per-tick readers use
    // this: building libnl objects for every address and route costs more
    // than the dump itself.
    void dumpEach(const DumpRequest& request, const std::function<void(const nlmsghdr&)>& visit);

    // The same request, replies received and dropped unparsed: the bare cost
    // of a dump, for the status benchmark.
    void dumpDiscard(const DumpRequest& request);

private:
    void send(const DumpRequest& request);
    void receive(const std::function<void(const nlmsghdr&)>* visit);

    nl_sock* m_sock = nullptr;
    nl_cb* m_cb = nullptr; // reused for every dumpEach
};

} // namespace tarnwick::linuxnet
