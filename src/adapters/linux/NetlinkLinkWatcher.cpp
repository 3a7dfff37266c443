#include "adapters/linux/NetlinkLinkWatcher.h"

#include "netlink/linux/Socket.h"

#include <cerrno>
#include <cstdint>
#include <net/if.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace tarnwick::linuxnet
{

NetlinkLinkWatcher::NetlinkLinkWatcher(Handlers handlers)
    : m_handlers(std::move(handlers))
    , m_stop(::eventfd(0, EFD_CLOEXEC))
{
    if (m_stop < 0)
        throw netlink::NetlinkError("eventfd", errno);
    m_thread = std::thread([this] { run(); });
}

NetlinkLinkWatcher::~NetlinkLinkWatcher()
{
    const std::uint64_t one = 1;
    (void)!::write(m_stop, &one, sizeof one);
    m_thread.join();
    ::close(m_stop);
}

void NetlinkLinkWatcher::run()
{
    pollfd fds[2] = { { m_events.fd(), POLLIN, 0 }, { m_stop, POLLIN, 0 } };
    for (;;) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return; // the refresh tick still follows the links
        }
        if (fds[1].revents)
            return;
        if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL))
            return;
        const netlink::LinkEventBatch batch = m_events.drain();
        if (!batch.empty())
            deliver(batch);
    }
}

void NetlinkLinkWatcher::deliver(const netlink::LinkEventBatch& batch)
{
    try {
        if ((batch.linksChanged || batch.overrun) && m_handlers.adaptersChanged)
            m_handlers.adaptersChanged();
        if (!m_handlers.valuesChanged)
            return;
        if (batch.overrun || batch.someLinkChanged) {
            // Lost events, or a route over several links: any may have changed.
            m_handlers.valuesChanged({});
            return;
        }
        for (const int index : batch.valuesChanged) {
            char name[IF_NAMESIZE] = {};
            // A link gone by now is the list's business (adaptersChanged).
            if (::if_indextoname(static_cast<unsigned>(index), name))
                m_handlers.valuesChanged(name);
        }
    } catch (...) {
        // A handler that fails costs one refresh; the tick repairs it.
    }
}

} // namespace tarnwick::linuxnet
