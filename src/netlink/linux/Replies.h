#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

struct nlmsghdr;

namespace tarnwick::netlink
{

// What one datagram of answers said about the request it answers.
struct ReplyOutcome {
    enum class State { More, Done, Failed };
    State state = State::More;
    int error = 0; // the kernel's positive errno when Failed
    std::string message; // the kernel's own words (extended acknowledgement), when it sent them
};

enum class RequestKind { Dump, Change };

// Walks the messages of one datagram, pure so it can be fuzzed. Only messages
// that answer request `seq` of the socket bound to `port` count; others (a
// late answer to an earlier request) are skipped. Each data message of a
// dump goes to `visit`. A dump ends with NLMSG_DONE, Failed when the DONE
// carries an error or the dump was interrupted by a change (EAGAIN: read
// again); a change ends with its acknowledgement. Broken framing: EBADMSG.
ReplyOutcome walkReplies(std::span<const char> datagram, std::uint32_t seq, std::uint32_t port,
    RequestKind kind, const std::function<void(const nlmsghdr&)>& visit);

} // namespace tarnwick::netlink
