#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct nlmsghdr;
struct rtattr;

namespace tarnwick::netlink
{

// The attributes of one message or nested attribute, by type: the last one
// of each type up to `maxType`, nullptr where absent. A malformed attribute
// ends the walk; what came before it stays readable.
class Attributes
{
public:
    Attributes(const void* data, std::size_t size, int maxType);

    const rtattr* operator[](int type) const;

    static const void* data(const rtattr& a);
    static std::size_t size(const rtattr& a);
    // The value of a 32-bit attribute; nullopt when absent or of another size.
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
Attributes messageAttributes(const nlmsghdr& msg, std::size_t headerSize, int maxType);

// One attribute of a request, its value as raw bytes.
struct RequestAttribute {
    int type = 0;
    std::vector<unsigned char> value;

    template <typename T> static RequestAttribute of(int type, const T& value)
    {
        const auto* bytes = reinterpret_cast<const unsigned char*>(&value);
        return { type, std::vector<unsigned char>(bytes, bytes + sizeof value) };
    }
};

// A request: RTM_GETADDR (a dump), RTM_NEWADDR, RTM_DELROUTE, ... with its
// family header and attributes. A dump's attributes ask the kernel to filter
// (honoured under strict checking; readers filter again).
struct Request {
    int type = 0;
    int flags = 0; // NLM_F_CREATE, NLM_F_APPEND, NLM_F_REPLACE, ...; request, dump and ack are added
    const void* header = nullptr;
    std::size_t headerSize = 0;
    std::vector<RequestAttribute> attributes;
};

// The message bytes of a request: header, family header, then each attribute
// at its aligned place.
std::vector<char> buildMessage(const Request& request, int extraFlags, std::uint32_t seq);

} // namespace tarnwick::netlink
