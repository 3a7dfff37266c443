#include "adapters/linux/Netlink.h"

#include <netlink/attr.h>
#include <netlink/cache.h>
#include <netlink/errno.h>
#include <netlink/msg.h>
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

int visitValid(nl_msg* msg, void* arg)
{
    const auto* visit = static_cast<const std::function<void(const nlmsghdr&)>*>(arg);
    if (visit)
        (*visit)(*nlmsg_hdr(msg));
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
    nl_cb* own = nl_socket_get_cb(m_sock); // a new reference
    m_cb = nl_cb_clone(own);
    nl_cb_put(own);
    if (!m_cb) {
        nl_socket_free(m_sock);
        throw std::system_error(std::make_error_code(std::errc::not_enough_memory), "netlink callbacks");
    }
}

NetlinkSocket::~NetlinkSocket()
{
    nl_cb_put(m_cb);
    nl_socket_free(m_sock);
}

void NetlinkSocket::send(const DumpRequest& request)
{
    nl_msg* msg = nlmsg_alloc_simple(request.type, NLM_F_DUMP);
    if (!msg)
        throw std::system_error(std::make_error_code(std::errc::not_enough_memory), "netlink request");
    int rc = nlmsg_append(msg, const_cast<void*>(request.header), request.headerSize, NLMSG_ALIGNTO);
    for (const auto& [type, value] : request.filters) {
        if (rc >= 0)
            rc = nla_put_u32(msg, type, value);
    }
    if (rc >= 0)
        rc = nl_send_auto(m_sock, msg);
    nlmsg_free(msg);
    if (rc < 0)
        fail(rc, "netlink dump request");
}

Cache NetlinkSocket::dump(const char* cacheName, const DumpRequest& request)
{
    nl_cache* raw = nullptr;
    if (const int rc = nl_cache_alloc_name(cacheName, &raw); rc < 0)
        fail(rc, "netlink cache");
    Cache cache(raw);
    send(request);
    if (const int rc = nl_cache_pickup(m_sock, cache.get()); rc < 0)
        fail(rc, "netlink dump");
    return cache;
}

void NetlinkSocket::receive(const std::function<void(const nlmsghdr&)>* visit)
{
    nl_cb_set(m_cb, NL_CB_VALID, NL_CB_CUSTOM, visitValid,
        const_cast<std::function<void(const nlmsghdr&)>*>(visit));
    const int rc = nl_recvmsgs(m_sock, m_cb);
    nl_cb_set(m_cb, NL_CB_VALID, NL_CB_CUSTOM, visitValid, nullptr);
    if (rc < 0)
        fail(rc, "netlink dump");
}

void NetlinkSocket::dumpEach(const DumpRequest& request, const std::function<void(const nlmsghdr&)>& visit)
{
    send(request);
    receive(&visit);
}

void NetlinkSocket::dumpDiscard(const DumpRequest& request)
{
    send(request);
    receive(nullptr);
}

} // namespace tarnwick::linuxnet
