#pragma once

#include "base/FileLock.h"
#include "netsh/linux/LinkChanges.h"

#include <optional>
#include <string>

// What a change of a link is about to do, on disk before it starts: a run
// killed part-way (SIGKILL, power cut) cannot clean up after itself, so the
// next run on the link finds the record and puts the link back as it was.
namespace tarnwick::netsh
{

struct ChangeIntent {
    int ifindex = 0; // the link it was for: a re-created link of that name is left alone
    std::string command; // what was being done, for the user
    // The link is already as wanted; only the old client was still to go.
    bool finishing = false;
    LinkSnapshot before;
};

// Text form, and back; nullopt for anything not whole and well formed (a
// record that would undo the wrong thing is worse than none). Pure.
std::string formatChangeIntent(const ChangeIntent& intent);
std::optional<ChangeIntent> parseChangeIntent(const std::string& text);

// The record of `ifname` beside its link record; nullopt when there is none.
// `unreadable` is set when there is one but it cannot be used.
std::optional<ChangeIntent> readChangeIntent(const std::string& ifname, bool& unreadable);
// Replaced atomically and flushed before it returns. Throws std::system_error.
void writeChangeIntent(const std::string& ifname, const ChangeIntent& intent);
void removeChangeIntent(const std::string& ifname);

// With the namespace's lock held: undoes (or, when it had only its old client
// left to end, completes) a change of the link that a run left unfinished,
// and drops its record. Returns a line for the user; empty when there was
// nothing to do.
std::string recoverInterruptedChange(netlink::Socket& nl, const std::string& ifname, int ifindex);

// One change of a link, the one way every command changes one: the lock, a
// change left by an earlier run undone, the snapshot, the intent on disk.
// A change that ends without done() (an exception) is undone: the link is
// left as it was found, and the record goes.
class LinkChange
{
public:
    LinkChange(const std::string& ifname, int ifindex, std::string command);
    ~LinkChange();
    LinkChange(const LinkChange&) = delete;
    LinkChange& operator=(const LinkChange&) = delete;

    netlink::Socket& nl() { return m_nl; }
    FileLock& lock() { return m_lock; }
    const LinkSnapshot& before() const { return m_intent.before; }
    // The link record as the change found it.
    LinkState& state() { return m_state; }

    // From here a kill completes the change rather than undoing it.
    void finishing();
    // The change is complete: the record goes.
    void done();
    // Puts the link back and drops the record; never throws.
    void undo();
    // After done() and unlock: the change failed after all (its client gave
    // up). Undone under the lock again, with its record back on disk first.
    // Throws StateBusy when the lock stays taken.
    void undoAfterAll();

private:
    std::string m_ifname;
    int m_ifindex;
    FileLock m_lock;
    netlink::Socket m_nl;
    ChangeIntent m_intent;
    LinkState m_state;
    bool m_settled = false;
};

} // namespace tarnwick::netsh
