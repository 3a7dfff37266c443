#pragma once

#include <functional>
#include <memory>
#include <string>

namespace tarnwick
{

// Follows the system's network links between refreshes: which adapters exist,
// and when the values in force on one change. The handlers run on the
// watcher's own thread; a window hands them on to its GUI thread.
class LinkWatcher
{
public:
    struct Handlers {
        // An adapter appeared or went (or anything may have changed).
        std::function<void()> adaptersChanged;
        // An address or route of this adapter changed; an empty name when
        // the system lost track and any adapter may have changed.
        std::function<void(const std::string& name)> valuesChanged;
    };
    // Stops and joins the thread: no handler runs once this returns.
    virtual ~LinkWatcher() = default;
};

// This platform's watcher, already running; nullptr where the platform
// cannot follow its links (the once-a-second refresh then is all there is).
std::unique_ptr<LinkWatcher> makeLinkWatcher(LinkWatcher::Handlers handlers);

} // namespace tarnwick
