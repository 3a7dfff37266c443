#include "netsh/linux/Commands.h"

#include "netlink/linux/Links.h"
#include "netlink/linux/Routes.h"
#include "netsh/linux/ChangeIntent.h"
#include "netsh/linux/DhcpClient.h"
#include "netsh/linux/LinkChanges.h"
#include "netsh/linux/Rights.h"
#include "netsh/linux/ShowConfig.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <functional>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <optional>
#include <poll.h>
#include <sys/inotify.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace tarnwick::netsh
{
namespace
{

namespace fs = std::filesystem;

constexpr auto kLeaseWait = std::chrono::seconds(10);
constexpr const char* kOk = "确定。\n";
// Exit status of source=dhcp when no lease came within the wait; the client
// keeps trying in the background.
constexpr int kLeasePending = 2;

// A failure to report to the user: one Chinese line.
struct Failure {
    std::string message;
};

bool changesSomething(Verb verb)
{
    return verb != Verb::ShowConfig;
}

int interfaceIndex(const std::string& name)
{
    if (!isValidInterfaceName(name))
        return 0;
    return static_cast<int>(::if_nametoindex(name.c_str()));
}

// Stops the client we started for the link. The link leaves DHCP on record
// first, so the client's own last events (run while it stops) are ignored by
// the hook; its pid leaves only once it is gone, so a run cut short leaves a
// client the next run still finds and ends.
void stopClient(const std::string& ifname, LinkState& state)
{
    if (state.clientPid == 0 && state.leaseAddress.empty() && state.dhcpDns.empty())
        return;
    state.dhcp = false;
    state.leaseAddress.clear();
    state.dhcpDns.clear();
    writeLinkState(ifname, state);
    if (state.clientPid > 0) {
        stopDhcpClient(state.clientPid, state.client);
        state.clientPid = 0;
        writeLinkState(ifname, state);
    }
}

// Holds the link's running client still while the link changes under it: it
// can neither fight the change nor be lost when the change fails. It is not
// let go here: a change that fails is undone first (which resumes it), one
// that succeeds ends it. Returns its pid, 0 when none runs.
int holdClientStill(const LinkState& state)
{
    if (!isDhcpClientProcess(state.clientPid, state.client))
        return 0;
    // It leads a process group of its own: its helpers stop too.
    ::kill(-state.clientPid, SIGSTOP);
    return state.clientPid;
}

// The command as the record of an interrupted change names it.
std::string describe(const Command& cmd)
{
    const auto ip = [](const std::optional<Ipv4>& a) { return a ? formatIpv4(*a) : std::string("none"); };
    switch (cmd.verb) {
    case Verb::SetAddressDhcp:
        return "set address source=dhcp";
    case Verb::SetAddressStatic:
        return "set address source=static addr=" + ip(cmd.address) + "/" + std::to_string(cmd.prefix)
            + (cmd.gateway ? " gateway=" + ip(cmd.gateway) : "");
    case Verb::AddAddress:
        return "add address addr=" + ip(cmd.address) + "/" + std::to_string(cmd.prefix);
    case Verb::SetGateway:
        return "set address gateway=" + ip(cmd.gateway);
    case Verb::AddGateway:
        return "add address gateway=" + ip(cmd.gateway);
    case Verb::SetDnsDhcp:
        return "set dns source=dhcp";
    case Verb::SetDnsStatic:
        return "set dns source=static addr=" + ip(cmd.dns);
    case Verb::AddDns:
        return "add dns addr=" + ip(cmd.dns);
    case Verb::ShowConfig:
        break;
    }
    return "show config";
}

// Waits until the client's hook has recorded a lease. The hook replaces the
// record by a rename, which wakes the wait at once; a client that dies is
// noticed within 50 ms.
std::string waitForLease(const std::string& ifname, int pid, const std::string& client, const fs::path& dir)
{
    using namespace std::chrono;
    const int watch = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (watch >= 0)
        ::inotify_add_watch(watch, dir.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE);
    const auto deadline = steady_clock::now() + kLeaseWait;
    std::string outcome = "10 秒内未获得 DHCP 租约，DHCP 客户端继续在后台尝试。\n";
    for (;;) {
        const auto state = readLinkState(ifname);
        if (state && !state->leaseAddress.empty()) {
            outcome.clear();
            break;
        }
        if (!isDhcpClientProcess(pid, client)) {
            if (watch >= 0)
                ::close(watch);
            throw Failure { "DHCP 客户端 " + client + " 已退出，未获得地址，未作任何更改。" };
        }
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
        if (left <= 0)
            break;
        pollfd p { watch, POLLIN, 0 };
        if (watch < 0 || ::poll(&p, 1, static_cast<int>(std::min<long long>(left, 50))) > 0) {
            char events[4096];
            while (watch >= 0 && ::read(watch, events, sizeof events) > 0) { }
            if (watch < 0)
                std::this_thread::sleep_for(milliseconds(10));
        }
    }
    if (watch >= 0)
        ::close(watch);
    return outcome;
}

// A client a change started or kept, whose lease the command waits for once
// the change is complete and the lock given up.
struct LeaseWait {
    int pid = 0;
    std::string client;
    // The change started it: should it quit without a lease, the change is undone.
    bool undoWithoutLease = false;
};

// A command's own part of a change of the link.
using ChangeStep = std::function<std::optional<LeaseWait>(LinkChange&)>;

// The one way every command changes a link: under the namespace's lock, with
// the link's snapshot and the intent on disk (LinkChange), the command's step
// runs; a step that throws, or a run cut off, leaves the link as it was found.
std::string changeLink(const std::string& ifname, int ifindex, const Command& cmd, const ChangeStep& step)
{
    LinkChange change(ifname, ifindex, describe(cmd));
    const std::optional<LeaseWait> wait = step(change);
    // From here the lease is the client's to bring, also should this run be
    // cut off while it waits.
    change.done();
    if (!wait)
        return {};
    // The client's script takes the lock to record the lease.
    change.lock().unlock();
    try {
        return waitForLease(ifname, wait->pid, wait->client, namespaceStateDir());
    } catch (const Failure&) {
        if (wait->undoWithoutLease) {
            try {
                change.undoAfterAll();
            } catch (const StateBusy&) {
            }
        }
        throw;
    }
}

// The addresses stay until a lease is in place (the hook replaces them then),
// so a client that never gets one leaves the link as it was.
std::optional<LeaseWait> setAddressDhcp(
    LinkChange& change, const std::string& ifname, const DhcpClientProgram& client)
{
    LinkState& state = change.state();
    if (state.dhcp && state.client == client.name && isDhcpClientProcess(state.clientPid, state.client)) {
        // Already ours: the client on record keeps its lease (and runs again
        // when a run that held it still ended before letting it go).
        const int pid = state.clientPid;
        if (isStoppedDhcpClient(pid, state.client))
            ::kill(-pid, SIGCONT);
        return LeaseWait { pid, client.name, false };
    }
    stopClient(ifname, state); // one that died, or another program
    state.dhcp = true;
    state.client = client.name;
    const int pid = startDhcpClient(client, ifname, namespaceStateDir(), [&](int childPid) {
        state.clientPid = childPid;
        saveAndApplyDns(ifname, state);
    });
    return LeaseWait { pid, client.name, true };
}

void setAddressStatic(LinkChange& change, const std::string& ifname, int ifindex, const Command& cmd)
{
    netlink::Socket& nl = change.nl();
    LinkState& state = change.state();
    const netlink::Address wanted { *cmd.address, cmd.prefix, false };
    const int held = holdClientStill(state);
    // The files first: a resolver that cannot be written stops the command
    // before the kernel is touched. The held client stays on record until it
    // is gone.
    state.dhcp = false;
    state.leaseAddress.clear();
    state.dhcpDns.clear();
    saveAndApplyDns(ifname, state);
    // Then the kernel judges the gateway (on-link while the old subnet is
    // still in place) before any address goes.
    if (cmd.gateway)
        netlink::addDefaultRoute(nl, ifindex, *cmd.gateway, cmd.metric, RTPROT_STATIC);
    replaceAddresses(nl, ifindex, wanted);
    // The last address of a link takes its routes along when it goes.
    replaceDefaultRoutes(nl, ifindex, cmd.gateway, cmd.metric, RTPROT_STATIC);
    if (state.clientPid != 0)
        change.finishing();
    if (held > 0)
        killDhcpClient(held, state.client);
    if (state.clientPid != 0) {
        state.clientPid = 0;
        writeLinkState(ifname, state);
    }
}

void changeDns(LinkState& state, const Command& cmd)
{
    if (cmd.verb == Verb::SetDnsDhcp) {
        state.dnsAutomatic = true;
        state.staticDns.clear();
    } else if (cmd.verb == Verb::SetDnsStatic) {
        state.dnsAutomatic = false;
        state.staticDns.clear();
        if (cmd.dns)
            state.staticDns.push_back(formatIpv4(*cmd.dns));
    } else {
        if (state.dnsAutomatic)
            state.staticDns.clear();
        state.dnsAutomatic = false;
        const std::string server = formatIpv4(*cmd.dns);
        auto& list = state.staticDns;
        list.erase(std::remove(list.begin(), list.end(), server), list.end());
        const auto at = cmd.index == 0 ? list.size() : std::min<std::size_t>(cmd.index - 1, list.size());
        list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), server);
    }
}

RunResult show(const Command& cmd)
{
    netlink::Socket nl;
    RunResult result;
    for (const auto& link : netlink::dumpLinks(nl)) {
        if (!cmd.name.empty() && link.name != cmd.name)
            continue;
        // A change cut off part-way is undone before the link is shown, by
        // whoever may change it; the others see it as it is.
        std::string note;
        bool unreadable = false;
        if (hasNetAdmin() && (readChangeIntent(link.name, unreadable) || unreadable)) {
            try {
                FileLock lock = lockState(namespaceStateDir());
                note = recoverInterruptedChange(nl, link.name, link.index);
            } catch (const std::exception& e) {
                note = std::string("上次被中断的更改未能处理：") + e.what();
            }
        }
        result.out += showConfig(nl, link);
        if (!note.empty())
            result.out += "    " + note + "\n";
    }
    result.out += "\n";
    return result;
}

RunResult failed(const std::string& message)
{
    return RunResult { 1, {}, message + "\n" };
}

// Why the link may not be changed in this way, or empty when it may.
std::string refusedForLink(const Command& cmd, int ifindex)
{
    netlink::Socket nl;
    for (const auto& link : netlink::dumpLinks(nl)) {
        if (link.index == ifindex && link.loopback)
            return "接口“" + cmd.name + "”是本机回环接口，不能更改，未作任何更改。";
    }
    if (cmd.gateway && (cmd.verb == Verb::SetGateway || cmd.verb == Verb::AddGateway)) {
        for (const auto& a : netlink::dumpAddresses(nl, ifindex)) {
            if (a.address == *cmd.gateway)
                return "网关 " + formatIpv4(*cmd.gateway)
                    + " 就是接口自己的地址，不能用作网关，未作任何更改。";
        }
    }
    return {};
}

} // namespace

RunResult runCommand(const Command& cmd)
{
    const int ifindex = cmd.name.empty() ? 0 : interfaceIndex(cmd.name);
    if (!cmd.name.empty() && ifindex == 0)
        return failed("找不到名为“" + cmd.name + "”的接口，未作任何更改。");
    if (changesSomething(cmd.verb) && !hasNetAdmin())
        return failed("需要管理员权限（CAP_NET_ADMIN）才能更改网络配置，未作任何更改。");
    try {
        if (changesSomething(cmd.verb)) {
            if (const std::string refusal = refusedForLink(cmd, ifindex); !refusal.empty())
                return failed(refusal);
        }
        if (cmd.verb == Verb::ShowConfig)
            return show(cmd);
        const std::string& ifname = cmd.name;
        ChangeStep step;
        switch (cmd.verb) {
        case Verb::SetAddressDhcp: {
            const auto client = findDhcpClient();
            if (!client)
                throw Failure { "找不到 DHCP 客户端程序（dhcpcd、dhclient 或 udhcpc），地址未更改。" };
            step = [&, client = *client](
                       LinkChange& change) { return setAddressDhcp(change, ifname, client); };
            break;
        }
        case Verb::SetAddressStatic:
            step = [&](LinkChange& change) {
                setAddressStatic(change, ifname, ifindex, cmd);
                return std::optional<LeaseWait>();
            };
            break;
        case Verb::AddAddress:
            step = [&](LinkChange& change) {
                netlink::addAddress(
                    change.nl(), ifindex, netlink::Address { *cmd.address, cmd.prefix, false });
                return std::optional<LeaseWait>();
            };
            break;
        case Verb::SetGateway:
            step = [&](LinkChange& change) {
                replaceDefaultRoutes(change.nl(), ifindex, cmd.gateway, cmd.metric, RTPROT_STATIC);
                return std::optional<LeaseWait>();
            };
            break;
        case Verb::AddGateway:
            step = [&](LinkChange& change) {
                netlink::addDefaultRoute(change.nl(), ifindex, *cmd.gateway, cmd.metric, RTPROT_STATIC);
                return std::optional<LeaseWait>();
            };
            break;
        case Verb::SetDnsDhcp:
        case Verb::SetDnsStatic:
        case Verb::AddDns:
            step = [&](LinkChange& change) {
                changeDns(change.state(), cmd);
                saveAndApplyDns(ifname, change.state());
                return std::optional<LeaseWait>();
            };
            break;
        case Verb::ShowConfig:
            break;
        }
        if (const std::string pending = changeLink(ifname, ifindex, cmd, step); !pending.empty()) {
            // A lease not yet come: not "确定。", so the apply tells this from a success.
            return RunResult { kLeasePending, pending, {} };
        }
        RunResult result;
        result.out += kOk;
        return result;
    } catch (const Failure& f) {
        return failed(f.message);
    } catch (const StateBusy& e) {
        return failed(e.what());
    } catch (const netlink::NetlinkError& e) {
        return failed(std::string("内核拒绝了更改：") + e.what());
    } catch (const std::exception& e) {
        return failed(std::string("操作失败：") + e.what());
    }
}

} // namespace tarnwick::netsh
