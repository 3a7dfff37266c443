#include "netsh/linux/LeaseHook.h"

#include "netsh/LeaseEvent.h"
#include "netsh/linux/LinkChanges.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <linux/rtnetlink.h>
#include <sstream>
#include <unistd.h>

namespace tarnwick::netsh
{

namespace
{

int parentOf(int pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream rest(text.substr(close + 1));
    char state = 0;
    int ppid = 0;
    rest >> state >> ppid;
    return ppid;
}

// True when the process that ran us is the client on record or one of its
// helpers: who calls is read from the kernel, never from what the caller says
// (argv[0] and the environment are the caller's to choose).
bool calledByClient(int clientPid)
{
    if (clientPid <= 0)
        return false;
    int pid = static_cast<int>(::getppid());
    for (int depth = 0; depth < 4 && pid > 1; ++depth, pid = parentOf(pid)) {
        if (pid == clientPid)
            return true;
    }
    return false;
}

} // namespace

RunResult runLeaseHook(const std::filesystem::path& hookPath, const std::vector<std::string>& args,
    const std::map<std::string, std::string>& env)
{
    // The link lives in the namespace's state folder; its parent is the root
    // that TARNWICK_STATE_DIR names (the client does not pass our environment on).
    const std::filesystem::path dir = hookPath.parent_path();
    ::setenv("TARNWICK_STATE_DIR", dir.parent_path().c_str(), 1);
    try {
        if (namespaceStateDir() != dir)
            return {};
        const LeaseEvent event = parseLeaseEvent(env, args);
        if (event.kind == LeaseEvent::Kind::Ignore || !isValidInterfaceName(event.ifname))
            return {};
        const auto unlocked = readLinkState(event.ifname);
        if (!unlocked || !unlocked->dhcp || !calledByClient(unlocked->clientPid))
            return {}; // not the client we run: a forged event, or a client we stopped
        FileLock lock = lockState(dir);
        auto state = readLinkState(event.ifname);
        if (!state || !state->dhcp || !calledByClient(state->clientPid))
            return {};
        const int ifindex = state->ifindex;
        // dhcpcd configures the address itself; dhclient and udhcpc leave it to the script.
        const bool weConfigure = state->client != "dhcpcd";
        netlink::Socket nl;
        if (event.kind == LeaseEvent::Kind::Bound) {
            // The lease is in place: now what the link had before it goes.
            const netlink::Address lease { *event.address, event.prefix, event.leaseSeconds != 0,
                event.leaseSeconds };
            replaceAddresses(nl, ifindex, lease);
            std::optional<Ipv4> router;
            if (!event.routers.empty())
                router = event.routers.front();
            if (weConfigure)
                replaceDefaultRoutes(nl, ifindex, router, 0, RTPROT_DHCP);
            else
                removeOtherDefaultRoutes(nl, ifindex, RTPROT_DHCP);
            state->leaseAddress = formatIpv4(*event.address);
            state->dhcpDns = event.dns;
        } else {
            // Only what the lease brought: a client that starts by
            // deconfiguring leaves the addresses it found until its lease.
            if (weConfigure)
                removeLeaseLeftovers(nl, ifindex);
            state->leaseAddress.clear();
            state->dhcpDns.clear();
        }
        saveAndApplyDns(event.ifname, *state);
        return {};
    } catch (const std::exception& e) {
        return RunResult { 1, {}, std::string("DHCP 事件处理失败：") + e.what() + "\n" };
    }
}

} // namespace tarnwick::netsh
