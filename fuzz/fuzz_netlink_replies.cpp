// The netlink reply walk and the per-kind parsers over arbitrary datagrams:
// whatever arrives, nothing is read outside the datagram.
#include "netlink/linux/Addresses.h"
#include "netlink/linux/Links.h"
#include "netlink/linux/Replies.h"
#include "netlink/linux/Routes.h"

#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tarnwick::netlink;
    if (size < 1 + 16) // a message header at the least
        return 0;
    // The socket's buffer is aligned; so is this copy. The first byte picks
    // the interface the parsers look for.
    const int ifindex = data[0] % 4;
    std::vector<std::uint32_t> aligned((size - 1 + 3) / 4);
    std::memcpy(aligned.data(), data + 1, size - 1);
    const std::span<const char> datagram(reinterpret_cast<const char*>(aligned.data()), size - 1);
    std::vector<DefaultRoute> routes;
    walkReplies(datagram, 1, 0, RequestKind::Dump, [&](const nlmsghdr& msg) {
        (void)parseLink(msg);
        (void)parseAddress(msg, ifindex);
        parseDefaultRoutes(msg, ifindex, routes);
    });
    walkReplies(datagram, 1, 0, RequestKind::Change, nullptr);
    return 0;
}
