#pragma once

#include <cstddef>
#include <memory>

struct nl_sock;
struct nl_cache;

namespace tarnwick::linuxnet
{

struct CacheDeleter {
    void operator()(nl_cache* cache) const;
};
// A libnl cache filled from one dump, freed with its objects.
using Cache = std::unique_ptr<nl_cache, CacheDeleter>;

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

    // Sends one dump request with the given family header and collects the
    // replies into a new cache of the libnl type `cacheName` ("route/addr").
    // Throws std::system_error when the kernel refuses or the socket fails.
    Cache dump(const char* cacheName, int type, const void* header, std::size_t headerSize);

    // The same request, replies received and dropped unparsed: the bare cost
    // of a dump, for the status benchmark.
    void dumpDiscard(int type, const void* header, std::size_t headerSize);

private:
    nl_sock* m_sock = nullptr;
};

} // namespace tarnwick::linuxnet
