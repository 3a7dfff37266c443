#pragma once

#include "netlink/linux/Attributes.h"
#include "netlink/linux/Replies.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

struct nlmsghdr;

namespace tarnwick::netlink
{

// A refused or failed netlink request. `code` is the kernel's positive errno
// value; what() ends with the kernel's own words when it gave them.
class NetlinkError : public std::runtime_error
{
public:
    NetlinkError(const std::string& what, int code, std::string kernelMessage = {});
    int code() const { return m_code; }
    const std::string& kernelMessage() const { return m_kernelMessage; }

private:
    int m_code;
    std::string m_kernelMessage;
};

// The kernel's answer to a change: 0 when it was made, else its positive errno
// and, with the extended acknowledgement, the reason in its own words.
struct ChangeResult {
    int error = 0;
    std::string message;
};

// A connected rtnetlink socket in the caller's network namespace, kept open
// across refreshes so a tick costs only its dumps. It asks for strict
// checking (dumps filtered by interface on the kernel's side) and for
// extended acknowledgements, and takes answers only from the kernel.
class Socket
{
public:
    Socket(); // throws NetlinkError
    ~Socket();
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // Sends one dump request and hands each reply message to `visit`.
    // Throws NetlinkError when the kernel refuses, when the dump was
    // interrupted by a change (EAGAIN: the caller reads again on its next
    // round), when a reply did not fit (EMSGSIZE) or the socket fails.
    void dump(const Request& request, const std::function<void(const nlmsghdr&)>& visit);

    // Sends one change and waits for the kernel's answer. Throws NetlinkError
    // only when the socket itself fails.
    ChangeResult change(const Request& request);

private:
    void send(const std::vector<char>& message);
    ChangeResult exchange(RequestKind kind, const std::function<void(const nlmsghdr&)>* visit);

    int m_fd = -1;
    std::uint32_t m_port = 0;
    std::uint32_t m_seq = 0;
    // Left uninitialised: only the pages a reply fills are ever touched.
    std::unique_ptr<char[]> m_buffer;
};

} // namespace tarnwick::netlink
