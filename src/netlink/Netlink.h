#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct nlmsghdr;
struct rtattr;

namespace tarnwick::linuxnet
{

// One dump request: the family header, and 32-bit attributes that ask the
// kernel to filter (honoured under strict checking; readers filter again).
struct DumpRequest {
    int type = 0; // RTM_GETADDR, ...
    const void* header = nullptr;
    std::size_t headerSize = 0;
    std::vector<std::pair<int, std::uint32_t>> filters;
};

// One attribute of a change request, its value as raw bytes.
struct RequestAttribute {
    int type = 0;
    std::vector<unsigned char> value;

    template <typename T> static RequestAttribute of(int type, const T& value)
    {
        const auto* bytes = reinterpret_cast<const unsigned char*>(&value);
        return { type, std::vector<unsigned char>(bytes, bytes + sizeof value) };
    }
};

// A change: RTM_NEWADDR, RTM_DELROUTE, ... with its family header and attributes.
struct ChangeRequest {
    int type = 0;
    int flags = 0; // NLM_F_CREATE, NLM_F_EXCL, NLM_F_REPLACE; request and ack are added
    const void* header = nullptr;
    std::size_t headerSize = 0;
    std::vector<RequestAttribute> attributes;
};

// The attributes of one message or nested attribute, by type: the last one
// of each type up to `maxType`, nullptr where absent.
class NetlinkAttributes
{
public:
    NetlinkAttributes(const void* data, std::size_t size, int maxType);

    const rtattr* operator[](int type) const;

    static const void* data(const rtattr& a);
    static std::size_t size(const rtattr& a);
    // The value of a 32-bit attribute; nullopt when absent or shorter.
    std::optional<std::uint32_t> u32(int type) const;
    // A string attribute up to its terminating zero; empty when absent.
    std::string text(int type) const;

private:
    std::vector<const rtattr*> m_byType;
};

// A message's family header when the message holds one of `headerSize`
// bytes, else nullptr.
const void* familyHeader(const nlmsghdr& msg, std::size_t headerSize);
// The attributes after that family header (none when it is missing).
NetlinkAttributes messageAttributes(const nlmsghdr& msg, std::size_t headerSize, int maxType);

// A connected rtnetlink socket, kept open across refreshes so a tick costs
// only its dumps; netsh makes its changes through it too. Asks the kernel for strict checking, which lets
// address dumps be filtered by interface on the kernel side. Plain rtnetlink: a netlink library would be
// loaded, relocated and initialised with every start of the window for these few dumps.
class NetlinkSocket
{
public:
    NetlinkSocket(); // throws std::system_error
    ~NetlinkSocket();
    NetlinkSocket(const NetlinkSocket&) = delete;
    NetlinkSocket& operator=(const NetlinkSocket&) = delete;

    // Sends one dump request and hands each reply message to `visit`, which
    // reads what it needs straight from the message. Throws std::system_error
    // when the kernel refuses, the dump was interrupted by a change (the
    // caller reads again on its next round) or the socket fails.
    void dumpEach(const DumpRequest& request, const std::function<void(const nlmsghdr&)>& visit);

    // The same request, replies received and dropped unparsed: the bare cost
    // of a dump, for the status benchmark.
    void dumpDiscard(const DumpRequest& request);

    // Sends one change and waits for the kernel's answer: 0 when it was made,
    // else the kernel's positive errno. Throws std::system_error when the
    // socket itself fails.
    int change(const ChangeRequest& request);

private:
    void send(const std::vector<char>& message);
    void receive(const std::function<void(const nlmsghdr&)>* visit);
    // Reads datagrams and hands each message that answers the last request to
    // `handle`, until it returns true.
    void readAnswers(const char* what, const std::function<bool(const nlmsghdr&)>& handle);

    int m_fd = -1;
    std::uint32_t m_seq = 0;
    // Left uninitialised: only the pages a reply fills are ever touched.
    std::unique_ptr<char[]> m_buffer;
};

} // namespace tarnwick::linuxnet
