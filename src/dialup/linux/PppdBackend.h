#pragma once

#include "dialup/DialBackend.h"

#include <filesystem>
#include <memory>
#include <sys/types.h>
#include <vector>

namespace tarnwick
{

// Where the pppd back end finds its files and program.
struct PppdPaths {
    std::filesystem::path peers = "/etc/ppp/peers"; // one file per line (phone-book entry)
    std::filesystem::path secrets = "/etc/ppp"; // pap-secrets, chap-secrets
    std::filesystem::path run = "/run"; // ppp-<entry>.pid, as pppd's linkname writes it
    std::string pppd = "/usr/sbin/pppd";

    // The system's, with TARNWICK_PPP_PEERS, TARNWICK_PPP_SECRETS,
    // TARNWICK_PPP_RUN and TARNWICK_PPPD in their place when set (tests).
    static PppdPaths current();
};

// Whose right to run pppd counts: this process's user and groups, or
// another's (tests run as root).
struct DialerIdentity {
    uid_t uid = 0;
    gid_t gid = 0;
    std::vector<gid_t> groups; // supplementary
    static DialerIdentity current();
};

// Error codes of this back end besides pppd's exit statuses (kPppdExit + status).
namespace pppderror
{
inline constexpr int AccessDenied = 5;
inline constexpr int NoSuchEntry = 623;
inline constexpr int CannotStart = 633;
inline constexpr int BadCredentials = 691;
inline constexpr int UnusableText = 87; // a user name or password the files cannot hold
inline constexpr int PppdExit = 10000;
} // namespace pppderror

// Dial-up over pppd: the connections are the processes of its pppd program
// (every one of the machine that this user may see), the peer files are the
// phone book, the user name goes
// into the peer file and the password into the secrets files its
// authentication reads, a dial is pppd started for the peer (no shell), its
// progress read from what it reports until it detaches, by a thread this
// back end owns: it is joined before the back end is gone, so no progress is
// reported after that.
class PppdBackend : public DialBackend
{
public:
    explicit PppdBackend(
        PppdPaths paths = PppdPaths::current(), DialerIdentity who = DialerIdentity::current());
    // Stops the dials' readers (their pppd runs on, unread) and joins them.
    ~PppdBackend() override;
    PppdBackend(const PppdBackend&) = delete;
    PppdBackend& operator=(const PppdBackend&) = delete;

    // pppd is there and the user may run it (the distribution lets only
    // one group run it: dip).
    bool installed() const override;
    std::string unavailableReason() const override;
    std::optional<std::vector<std::string>> entries() const override;
    std::optional<std::vector<Connection>> connections() const override;
    void hangUp(const Connection& connection) override;
    int readDialParams(const std::string& entry) override;
    int storeCredentials(
        const std::string& entry, const std::string& user, const std::string& password) override;
    int dial(const std::string& entry, Notifier notify) override;
    std::string errorText(int code) const override;

private:
    bool validEntry(const std::string& entry) const;

    struct Reader;
    void joinFinishedReaders();

    PppdPaths m_paths;
    DialerIdentity m_who;
    // Closing the write end tells every reader to stop.
    int m_stop[2] = { -1, -1 };
    // One per dial still read (an earlier one may still be winding down).
    std::vector<std::unique_ptr<Reader>> m_readers;
};

} // namespace tarnwick
