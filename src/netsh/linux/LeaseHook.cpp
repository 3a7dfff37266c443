#include "netsh/linux/LeaseHook.h"

#include "netsh/LeaseEvent.h"
#include "netsh/linux/LinkChanges.h"

#include <cstdlib>
#include <linux/rtnetlink.h>
#include <sys/auxv.h>
#include <unistd.h>

namespace tarnwick::netsh
{

RunResult runLeaseHook(const std::filesystem::path& hookPath, const std::vector<std::string>& args,
    const std::map<std::string, std::string>& env)
{
    // The link lives in the namespace's state folder; its parent is the root
    // that TARNWICK_STATE_DIR names (the client does not pass our environment on).
    const std::filesystem::path dir = hookPath.parent_path();
    // Run with raised rights by someone else than a client we started, the
    // path must not pick the state folder.
    if (::getauxval(AT_SECURE) && dir.parent_path() != "/run/tarnwick")
        return {};
    ::setenv("TARNWICK_STATE_DIR", dir.parent_path().c_str(), 1);
    try {
        if (namespaceStateDir() != dir)
            return {};
        const LeaseEvent event = parseLeaseEvent(env, args);
        if (event.kind == LeaseEvent::Kind::Ignore || !isValidInterfaceName(event.ifname))
            return {};
        const int clientPid = event.clientPid ? event.clientPid : static_cast<int>(::getppid());
        const auto unlocked = readLinkState(event.ifname);
        if (!unlocked || !unlocked->dhcp || unlocked->clientPid != clientPid)
            return {}; // a client we no longer own, or one that is being stopped
        FileLock lock = lockState(dir);
        auto state = readLinkState(event.ifname);
        if (!state || !state->dhcp || state->clientPid != clientPid)
            return {};
        const int ifindex = state->ifindex;
        // dhcpcd configures the address itself; dhclient and udhcpc leave it to the script.
        const bool weConfigure = state->client != "dhcpcd";
        netlink::Socket nl;
        if (event.kind == LeaseEvent::Kind::Bound) {
            if (weConfigure) {
                const netlink::Address lease { *event.address, event.prefix, true };
                if (event.oldAddress && !(*event.oldAddress == lease.address))
                    netlink::removeAddress(
                        nl, ifindex, netlink::Address { *event.oldAddress, event.oldPrefix, true });
                netlink::addAddress(
                    nl, ifindex, lease, event.leaseSeconds ? event.leaseSeconds : 0xffffffffu);
                std::optional<Ipv4> router;
                if (!event.routers.empty())
                    router = event.routers.front();
                replaceDefaultRoutes(nl, ifindex, router, 0, RTPROT_DHCP);
            }
            state->leaseAddress = formatIpv4(*event.address);
            state->dhcpDns = event.dns;
        } else {
            if (weConfigure) {
                replaceDefaultRoutes(nl, ifindex, std::nullopt, 0, RTPROT_DHCP);
                replaceAddresses(nl, ifindex, std::nullopt);
            }
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
