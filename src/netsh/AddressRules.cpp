#include "netsh/AddressRules.h"

namespace tarnwick::netsh
{

std::string unusable(Ipv4 ip, Role role)
{
    const std::uint32_t v = ip.value;
    if (v == 0)
        return "0.0.0.0 不指向任何主机";
    if (v == 0xffffffffu)
        return "这是受限广播地址";
    if ((v >> 28) == 0xe)
        return "这是组播地址（224.0.0.0/4）";
    if ((v >> 28) == 0xf)
        return "这是保留地址（240.0.0.0/4）";
    if ((v >> 24) == 127 && role != Role::Dns)
        return "这是本机回环地址（127.0.0.0/8）";
    return {};
}

} // namespace tarnwick::netsh
