#include "netlink/linux/LinkEvents.h"

#include "netlink/linux/Attributes.h"
#include "netlink/linux/Socket.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace tarnwick::netlink
{

namespace
{

int routeOutputLink(const nlmsghdr& h)
{
    if (!familyHeader(h, sizeof(rtmsg)))
        return 0;
    return static_cast<int>(messageAttributes(h, sizeof(rtmsg), RTA_MAX).u32(RTA_OIF).value_or(0));
}

void fold(const nlmsghdr& h, LinkEventBatch& batch)
{
    switch (h.nlmsg_type) {
    case RTM_NEWLINK:
    case RTM_DELLINK:
        // A link's carrier or flags change too; the list only cares about
        // links coming and going, but a rename arrives as a NEWLINK as well.
        batch.linksChanged = true;
        if (const auto* link = static_cast<const ifinfomsg*>(familyHeader(h, sizeof(ifinfomsg))))
            batch.valuesChanged.insert(link->ifi_index);
        break;
    case RTM_NEWADDR:
    case RTM_DELADDR:
        if (const auto* address = static_cast<const ifaddrmsg*>(familyHeader(h, sizeof(ifaddrmsg))))
            batch.valuesChanged.insert(static_cast<int>(address->ifa_index));
        break;
    case RTM_NEWROUTE:
    case RTM_DELROUTE:
        if (const int link = routeOutputLink(h))
            batch.valuesChanged.insert(link);
        else
            batch.someLinkChanged = true; // a multipath route: no single link named
        break;
    default:
        break;
    }
}

} // namespace

LinkEvents::LinkEvents()
    : m_fd(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE))
{
    if (m_fd < 0)
        throw NetlinkError("netlink listen", errno);
    sockaddr_nl local {};
    local.nl_family = AF_NETLINK;
    local.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV4_ROUTE;
    if (::bind(m_fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        const int err = errno;
        ::close(m_fd);
        throw NetlinkError("netlink listen", err);
    }
}

LinkEvents::~LinkEvents()
{
    ::close(m_fd);
}

LinkEventBatch LinkEvents::drain()
{
    LinkEventBatch batch;
    alignas(nlmsghdr) char buffer[16 * 1024];
    for (;;) {
        sockaddr_nl from {};
        iovec io { buffer, sizeof buffer };
        msghdr msg {};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof from;
        msg.msg_iov = &io;
        msg.msg_iovlen = 1;
        const ssize_t n = ::recvmsg(m_fd, &msg, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == ENOBUFS) {
                batch.overrun = true;
                continue;
            }
            return batch; // EAGAIN: nothing more queued
        }
        // Only the kernel speaks for the kernel.
        if (from.nl_pid != 0 || (msg.msg_flags & MSG_TRUNC)) {
            batch.overrun = batch.overrun || (msg.msg_flags & MSG_TRUNC);
            continue;
        }
        int length = static_cast<int>(n);
        for (auto* h = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(h, length); h = NLMSG_NEXT(h, length))
            fold(*h, batch);
    }
}

} // namespace tarnwick::netlink
