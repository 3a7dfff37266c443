#include "netlink/linux/Replies.h"

#include "netlink/linux/Attributes.h"

#include <linux/netlink.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tarnwick::netlink
{

namespace
{

ReplyOutcome failed(int error, std::string message = {})
{
    return { ReplyOutcome::State::Failed, error, std::move(message) };
}

// The kernel sends a negated errno; anything else is no error it could send.
int errnoOf(int negated)
{
    return negated < 0 && negated > -4096 ? -negated : EBADMSG;
}

// The text attribute of an extended acknowledgement, which starts `offset`
// bytes into the message.
std::string ackMessage(const nlmsghdr& h, std::size_t offset)
{
    if (!(h.nlmsg_flags & NLM_F_ACK_TLVS) || offset >= h.nlmsg_len)
        return {};
    const Attributes tlvs(
        reinterpret_cast<const char*>(&h) + offset, h.nlmsg_len - offset, NLMSGERR_ATTR_MSG);
    return tlvs.text(NLMSGERR_ATTR_MSG);
}

// An NLMSG_ERROR: the negated errno, then the request's header (and, unless
// capped, its payload), then the attributes.
ReplyOutcome errorMessage(const nlmsghdr& h, RequestKind kind)
{
    const auto* e = static_cast<const nlmsgerr*>(familyHeader(h, sizeof(nlmsgerr)));
    if (!e)
        return failed(EBADMSG);
    std::size_t offset = NLMSG_HDRLEN + sizeof(nlmsgerr);
    if (!(h.nlmsg_flags & NLM_F_CAPPED) && e->msg.nlmsg_len > NLMSG_HDRLEN)
        offset += e->msg.nlmsg_len - NLMSG_HDRLEN;
    offset = NLMSG_ALIGN(offset);
    if (e->error != 0)
        return failed(errnoOf(e->error), ackMessage(h, offset));
    // An acknowledgement ends a change; inside a dump it is no answer yet.
    return { kind == RequestKind::Change ? ReplyOutcome::State::Done : ReplyOutcome::State::More, 0, {} };
}

// NLMSG_DONE carries the dump's own result: an error met after some of the
// dump was sent (a table that changed under it, a filter refused).
ReplyOutcome doneMessage(const nlmsghdr& h)
{
    int status = 0;
    if (h.nlmsg_len >= NLMSG_LENGTH(sizeof status))
        std::memcpy(&status, reinterpret_cast<const char*>(&h) + NLMSG_HDRLEN, sizeof status);
    if (status < 0)
        return failed(errnoOf(status), ackMessage(h, NLMSG_HDRLEN + NLMSG_ALIGN(sizeof status)));
    if (h.nlmsg_flags & NLM_F_DUMP_INTR)
        return failed(EAGAIN, "the table changed while it was read");
    return { ReplyOutcome::State::Done, 0, {} };
}

} // namespace

ReplyOutcome walkReplies(std::span<const char> datagram, std::uint32_t seq, std::uint32_t port,
    RequestKind kind, const std::function<void(const nlmsghdr&)>& visit)
{
    std::size_t left = datagram.size();
    const char* at = datagram.data();
    while (left >= sizeof(nlmsghdr)) {
        nlmsghdr head;
        std::memcpy(&head, at, sizeof head);
        if (head.nlmsg_len < sizeof(nlmsghdr) || head.nlmsg_len > left)
            return failed(EBADMSG);
        const auto& h = *reinterpret_cast<const nlmsghdr*>(at);
        const std::size_t step = std::min<std::size_t>(NLMSG_ALIGN(head.nlmsg_len), left);
        at += step;
        left -= step;
        if (head.nlmsg_seq != seq || (head.nlmsg_pid != 0 && head.nlmsg_pid != port))
            continue;
        if (head.nlmsg_type == NLMSG_ERROR) {
            ReplyOutcome outcome = errorMessage(h, kind);
            if (outcome.state != ReplyOutcome::State::More)
                return outcome;
            continue;
        }
        if (kind == RequestKind::Change)
            continue; // a change is answered by its acknowledgement alone
        if (head.nlmsg_type == NLMSG_DONE)
            return doneMessage(h);
        if (head.nlmsg_type >= NLMSG_MIN_TYPE && visit)
            visit(h); // below: no-op, overrun and the like
    }
    if (left != 0)
        return failed(EBADMSG);
    return {};
}

} // namespace tarnwick::netlink
