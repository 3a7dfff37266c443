#include "netsh/linux/Rights.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace tarnwick::netsh
{

bool hasNetAdmin()
{
    __user_cap_header_struct header { _LINUX_CAPABILITY_VERSION_3, 0 };
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (::syscall(SYS_capget, &header, data) != 0)
        return false;
    return (data[CAP_NET_ADMIN / 32].effective & (1u << (CAP_NET_ADMIN % 32))) != 0;
}

} // namespace tarnwick::netsh
