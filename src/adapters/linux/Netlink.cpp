#include "adapters/linux/Netlink.h"

#include <netlink/cache.h>
#include <netlink/errno.h>
#include <netlink/netlink.h>
#include <netlink/socket.h>

#include <linux/netlink.h>
#include <string>
#include <sys/socket.h>
#include <system_error>

namespace tarnwick::linuxnet
{

namespace
{

[[noreturn]] void fail(int nlError, const char* what)
{
    // libnl's own codes are small positive numbers; keep its text.
    throw std::system_error(std::error_code(nlError < 0 ? -nlError : nlError, std::generic_category()),
        std::string(what) + ": " + nl_geterror(nlError));
}

int skipValid(nl_msg*, void*)
{
    return NL_OK;
}

} // namespace

void CacheDeleter::operator()(nl_cache* cache) const
{
    nl_cache_free(cache);
}

NetlinkSocket::NetlinkSocket()
{
    m_sock = nl_socket_alloc();
    if (!m_sock)
        throw std::system_error(std::make_error_code(std::errc::not_enough_memory), "netlink socket");
    if (const int rc = nl_connect(m_sock, NETLINK_ROUTE); rc < 0) {
        nl_socket_free(m_sock);
        fail(rc, "netlink connect");
    }
    // Older kernels refuse the option; they then send every address and the
    // readers filter by interface themselves, so the answer is not needed.
    int on = 1;
    (void)::setsockopt(nl_socket_get_fd(m_sock), SOL_NETLINK, NETLINK_GET_STRICT_CHK, &on, sizeof on);
}

NetlinkSocket::~NetlinkSocket()
{
    nl_socket_free(m_sock);
}

Cache NetlinkSocket::dump(const char* cacheName, int type, const void* header, std::size_t headerSize)
{
    nl_cache* raw = nullptr;
    if (const int rc = nl_cache_alloc_name(cacheName, &raw); rc < 0)
        fail(rc, "netlink cache");
    Cache cache(raw);
    if (const int rc = nl_send_simple(m_sock, type, NLM_F_DUMP, const_cast<void*>(header), headerSize);
        rc < 0)
        fail(rc, "netlink dump request");
    if (const int rc = nl_cache_pickup(m_sock, cache.get()); rc < 0)
        fail(rc, "netlink dump");
    return cache;
}

void NetlinkSocket::dumpDiscard(int type, const void* header, std::size_t headerSize)
{
    if (const int rc = nl_send_simple(m_sock, type, NLM_F_DUMP, const_cast<void*>(header), headerSize);
        rc < 0)
        fail(rc, "netlink dump request");
    nl_cb* cb = nl_cb_clone(nl_socket_get_cb(m_sock));
    nl_cb_set(cb, NL_CB_VALID, NL_CB_CUSTOM, skipValid, nullptr);
    const int rc = nl_recvmsgs(m_sock, cb);
    nl_cb_put(cb);
    if (rc < 0)
        fail(rc, "netlink dump");
}

} // namespace tarnwick::linuxnet
