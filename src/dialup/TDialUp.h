#pragma once

#include "dialup/DialBackend.h"
#include "dialup/DialStatus.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tarnwick
{

// The dial-up component: lists the lines of the system's phone book, stores
// a user name and password into one and dials it in the background, hangs
// up, names the connected line, and hands the dial's progress to the GUI
// thread as status texts, in order, one at a time, none lost.
class TDialUp
{
public:
    // Called on the GUI thread for each status of a dial, and on the caller's
    // thread for the failure reports of Dial().
    using StatusEvent = std::function<void(const std::string& messageText, bool error)>;

    // How a dial ended: the link up with its local address, or the failure's
    // text (the service's own words after it, when it gave any).
    struct DialOutcome {
        bool connected = false;
        std::string text;
        std::string address;
    };
    using OutcomeEvent = std::function<void(const DialOutcome&)>;

    // Runs an action later on the GUI thread, without waiting for it.
    using Post = std::function<void(std::function<void()>)>;

    // `processEvents` lets the GUI thread's pending events run (between the
    // passes of HangUpAll).
    TDialUp(std::unique_ptr<DialBackend> backend, Post post, std::function<void()> processEvents);
    ~TDialUp();
    TDialUp(const TDialUp&) = delete;
    TDialUp& operator=(const TDialUp&) = delete;

    std::string Username;
    std::string Password;
    std::string ConnectTo;
    std::vector<std::string> LangStrList = defaultStatusTemplates();
    StatusEvent OnStatusEvent;
    // Once per dial, after its last status: when the link is up or the dial
    // failed (on the caller's thread for the failures of Dial()). Not for a
    // dial that HangUpAll or a later Dial ended first.
    OutcomeEvent OnDialOutcome;

    // The phone book's entries, read afresh at every call.
    std::vector<std::string> PossibleConnections() const;
    // "entry (device)" of the connected connection enumerated last; empty when none.
    std::string CurrentConnection() const;
    bool RasInstalled() const;
    // Why dialing is not possible for this user; empty when it is.
    std::string UnavailableReason() const;

    // True when the dial was accepted and now runs in the background.
    bool Dial();
    // Hangs up every connection of the machine, in seven passes with the GUI
    // thread's events let run between them; how many connections it found.
    int HangUpAll();

    DialStatusText DescribeStatus(int state, int errorCode) const;

private:
    struct Mailbox;
    void report(const std::string& text, bool error);
    void deliver(int serial, int state, int error, const std::string& detail);
    void fail(const std::string& text);

    std::unique_ptr<DialBackend> m_backend;
    // Shared with the back end's threads, which end before the back end does.
    std::shared_ptr<Mailbox> m_mailbox;
    Post m_post;
    std::function<void()> m_processEvents;
    int m_serial = 0; // of the last dial
    bool m_open = false; // the last dial has not ended yet
};

} // namespace tarnwick
