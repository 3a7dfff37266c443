#pragma once

#include "adapters/LinkWatcher.h"
#include "netlink/linux/LinkEvents.h"

#include <thread>

namespace tarnwick::linuxnet
{

// The kernel's link, address and route notifications, read on a thread of
// its own; a burst of them (a switch makes several) reaches the handlers as
// one call per adapter.
class NetlinkLinkWatcher : public LinkWatcher
{
public:
    explicit NetlinkLinkWatcher(Handlers handlers); // throws netlink::NetlinkError
    ~NetlinkLinkWatcher() override;

private:
    void run();
    void deliver(const netlink::LinkEventBatch& batch);

    Handlers m_handlers;
    netlink::LinkEvents m_events;
    int m_stop = -1; // an eventfd: written once by the destructor
    std::thread m_thread;
};

} // namespace tarnwick::linuxnet
