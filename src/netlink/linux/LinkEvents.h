#pragma once

#include <set>

namespace tarnwick::netlink
{

// What the kernel reported since the last drain.
struct LinkEventBatch {
    // A link appeared, went or was renamed.
    bool linksChanged = false;
    // Links whose IPv4 addresses or routes changed, by index.
    std::set<int> valuesChanged;
    // A route changed that names no single link (a multipath route).
    bool someLinkChanged = false;
    // The kernel dropped events (the socket's queue overflowed): anything may
    // have changed.
    bool overrun = false;

    bool empty() const { return !linksChanged && valuesChanged.empty() && !someLinkChanged && !overrun; }
};

// A netlink socket that listens to the kernel's link, IPv4 address and IPv4
// route notifications in the caller's network namespace. Never blocks: the
// owner polls fd() and drains.
class LinkEvents
{
public:
    LinkEvents(); // throws NetlinkError
    ~LinkEvents();
    LinkEvents(const LinkEvents&) = delete;
    LinkEvents& operator=(const LinkEvents&) = delete;

    int fd() const { return m_fd; }
    // Everything queued now, folded into one batch.
    LinkEventBatch drain();

private:
    int m_fd = -1;
};

} // namespace tarnwick::netlink
