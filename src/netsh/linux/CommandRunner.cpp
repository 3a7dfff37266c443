#include "netsh/linux/CommandRunner.h"

#include "base/FileLock.h"
#include "netsh/LeaseEvent.h"
#include "netsh/LinkState.h"
#include "netsh/linux/DhcpClient.h"
#include "netsh/linux/DnsBackend.h"
#include "netsh/linux/Netlink.h"
#include "netsh/linux/Rights.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/auxv.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace tarnwick::netsh
{
namespace
{

namespace fs = std::filesystem;

// Serialises the netsh runs (and DHCP client hooks) of one network namespace.
FileLock lockState(const fs::path& dir)
{
    fs::create_directories(dir);
    return FileLock(dir / "lock");
}

constexpr auto kLeaseWait = std::chrono::seconds(10);
constexpr const char* kOk = "确定。\n";

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

LinkState stateOf(const std::string& ifname, int ifindex)
{
    LinkState state = readLinkState(ifname).value_or(LinkState {});
    state.ifindex = ifindex;
    return state;
}

std::vector<std::string> effectiveDns(const LinkState& state)
{
    if (!state.dnsAutomatic)
        return state.staticDns;
    return state.dhcp ? state.dhcpDns : std::vector<std::string> {};
}

void saveAndApplyDns(const std::string& ifname, const LinkState& state)
{
    if (readLinkState(ifname) != state)
        writeLinkState(ifname, state);
    makeDnsBackend()->setServers(ifname, state.ifindex, effectiveDns(state));
}

// Stops the client we started for the link. The pid leaves the record first,
// so the client's own last events (run while it stops) are ignored by the hook.
void stopClient(const std::string& ifname, LinkState& state)
{
    if (state.clientPid == 0 && state.leaseAddress.empty() && state.dhcpDns.empty())
        return;
    const int pid = state.clientPid;
    state.clientPid = 0;
    state.leaseAddress.clear();
    state.dhcpDns.clear();
    writeLinkState(ifname, state);
    if (pid > 0)
        stopDhcpClient(pid, state.client);
}

// The link's IPv4 addresses become exactly `wanted` (none when empty). A
// lease's address equal to the wanted one is replaced by a permanent one.
void replaceAddresses(Netlink& nl, int ifindex, const std::optional<InterfaceAddress>& wanted)
{
    bool present = false;
    for (const auto& a : nl.addresses(ifindex)) {
        if (wanted && a.address == wanted->address && a.prefix == wanted->prefix && !a.dynamic) {
            present = true;
            continue;
        }
        nl.removeAddress(ifindex, a);
    }
    if (wanted && !present) {
        // Removing a primary address takes its secondaries along; look again.
        const auto now = nl.addresses(ifindex);
        if (std::find(now.begin(), now.end(), *wanted) == now.end())
            nl.addAddress(ifindex, *wanted);
    }
}

void replaceDefaultRoutes(Netlink& nl, int ifindex, std::optional<Ipv4> gateway, int metric, int protocol)
{
    for (const auto& r : nl.defaultRoutes(ifindex)) {
        if (gateway && r.gateway == *gateway && r.metric == metric)
            continue;
        nl.removeDefaultRoute(ifindex, r);
    }
    if (gateway)
        nl.addDefaultRoute(ifindex, *gateway, metric, protocol);
}

std::string waitForLease(const std::string& ifname, int pid, const std::string& client)
{
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + kLeaseWait;
    while (steady_clock::now() < deadline) {
        const auto state = readLinkState(ifname);
        if (state && !state->leaseAddress.empty())
            return {};
        if (!isDhcpClientProcess(pid, client))
            throw Failure { "DHCP 客户端 " + client + " 已退出，未获得地址。" };
        std::this_thread::sleep_for(milliseconds(10));
    }
    return "10 秒内未获得 DHCP 租约，DHCP 客户端继续在后台尝试。\n";
}

std::string setAddressDhcp(const std::string& ifname, int ifindex)
{
    const auto client = findDhcpClient();
    if (!client)
        throw Failure { "找不到 DHCP 客户端程序（dhcpcd、dhclient 或 udhcpc），地址未更改。" };
    const fs::path dir = namespaceStateDir();
    FileLock lock = lockState(dir);
    LinkState state = stateOf(ifname, ifindex);
    stopClient(ifname, state);
    Netlink nl;
    replaceAddresses(nl, ifindex, std::nullopt);
    replaceDefaultRoutes(nl, ifindex, std::nullopt, 0, RTPROT_STATIC);
    state.dhcp = true;
    state.client = client->name;
    const int pid = startDhcpClient(*client, ifname, dir, [&](int childPid) {
        state.clientPid = childPid;
        saveAndApplyDns(ifname, state);
    });
    // The client's script takes the lock to record the lease.
    lock.unlock();
    return waitForLease(ifname, pid, client->name);
}

void setAddressStatic(const std::string& ifname, int ifindex, const Command& cmd)
{
    FileLock lock = lockState(namespaceStateDir());
    LinkState state = stateOf(ifname, ifindex);
    stopClient(ifname, state);
    state.dhcp = false;
    Netlink nl;
    replaceAddresses(nl, ifindex, InterfaceAddress { *cmd.address, cmd.prefix, false });
    replaceDefaultRoutes(nl, ifindex, cmd.gateway, cmd.metric, RTPROT_STATIC);
    saveAndApplyDns(ifname, state);
}

void changeDns(const std::string& ifname, int ifindex, const Command& cmd)
{
    FileLock lock = lockState(namespaceStateDir());
    LinkState state = stateOf(ifname, ifindex);
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
    saveAndApplyDns(ifname, state);
}

// Pads a label to a display column (a CJK character counts two columns).
std::string field(const std::string& label, const std::string& value)
{
    int width = 0;
    for (std::size_t i = 0; i < label.size(); ++i) {
        const auto c = static_cast<unsigned char>(label[i]);
        if (c < 0x80)
            ++width;
        else if ((c & 0xe0) == 0xe0) // three-byte UTF-8: CJK
            width += 2;
    }
    std::string line = "    " + label;
    for (int w = width; w < 38; ++w)
        line += ' ';
    return line + value + '\n';
}

std::string listField(const std::string& label, const std::vector<std::string>& values)
{
    if (values.empty())
        return field(label, "无");
    std::string out = field(label, values.front());
    for (std::size_t i = 1; i < values.size(); ++i)
        out += std::string(42, ' ') + values[i] + '\n';
    return out;
}

std::string showConfig(Netlink& nl, const InterfaceInfo& link)
{
    const auto state = readLinkState(link.name);
    const auto addresses = nl.addresses(link.index);
    const bool dhcp = state
        ? state->dhcp
        : std::any_of(addresses.begin(), addresses.end(), [](auto& a) { return a.dynamic; });
    std::string out = "\n接口 \"" + link.name + "\" 的配置\n";
    out += field("DHCP 已启用:", dhcp ? "是" : "否");
    for (const auto& a : addresses) {
        out += field("IP 地址:", formatIpv4(a.address));
        const Ipv4 mask = prefixMask(a.prefix);
        out += field("子网前缀:",
            formatIpv4(Ipv4 { a.address.value & mask.value }) + "/" + std::to_string(a.prefix) + " (掩码 "
                + formatIpv4(mask) + ")");
    }
    for (const auto& r : nl.defaultRoutes(link.index)) {
        out += field("默认网关:", formatIpv4(r.gateway));
        out += field("网关跃点数:", std::to_string(r.metric));
    }
    const bool dnsAutomatic = !state || state->dnsAutomatic;
    if (dnsAutomatic)
        out += listField(
            "通过 DHCP 配置的 DNS 服务器:", state ? state->dhcpDns : std::vector<std::string> {});
    else
        out += listField("静态配置的 DNS 服务器:", state->staticDns);
    return out;
}

RunResult show(const Command& cmd)
{
    Netlink nl;
    RunResult result;
    for (const auto& link : nl.interfaces()) {
        if (cmd.name.empty() || link.name == cmd.name)
            result.out += showConfig(nl, link);
    }
    result.out += "\n";
    return result;
}

RunResult failed(const std::string& message)
{
    return RunResult { 1, {}, message + "\n" };
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
        if (cmd.verb == Verb::ShowConfig)
            return show(cmd);
        RunResult result;
        switch (cmd.verb) {
        case Verb::SetAddressDhcp:
            result.out = setAddressDhcp(cmd.name, ifindex);
            break;
        case Verb::SetAddressStatic:
            setAddressStatic(cmd.name, ifindex, cmd);
            break;
        case Verb::AddAddress: {
            FileLock lock = lockState(namespaceStateDir());
            Netlink nl;
            nl.addAddress(ifindex, InterfaceAddress { *cmd.address, cmd.prefix, false });
            break;
        }
        case Verb::SetGateway:
        case Verb::AddGateway: {
            FileLock lock = lockState(namespaceStateDir());
            Netlink nl;
            if (cmd.verb == Verb::SetGateway)
                replaceDefaultRoutes(nl, ifindex, cmd.gateway, cmd.metric, RTPROT_STATIC);
            else
                nl.addDefaultRoute(ifindex, *cmd.gateway, cmd.metric, RTPROT_STATIC);
            break;
        }
        case Verb::SetDnsDhcp:
        case Verb::SetDnsStatic:
        case Verb::AddDns:
            changeDns(cmd.name, ifindex, cmd);
            break;
        case Verb::ShowConfig:
            break;
        }
        result.out += kOk;
        return result;
    } catch (const Failure& f) {
        return failed(f.message);
    } catch (const NetlinkError& e) {
        return failed(std::string("内核拒绝了更改：") + e.what());
    } catch (const std::exception& e) {
        return failed(std::string("操作失败：") + e.what());
    }
}

RunResult runLeaseHook(const fs::path& hookPath, const std::vector<std::string>& args,
    const std::map<std::string, std::string>& env)
{
    // The link lives in the namespace's state folder; its parent is the root
    // that TARNWICK_STATE_DIR names (the client does not pass our environment on).
    const fs::path dir = hookPath.parent_path();
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
        Netlink nl;
        if (event.kind == LeaseEvent::Kind::Bound) {
            if (weConfigure) {
                const InterfaceAddress lease { *event.address, event.prefix, true };
                if (event.oldAddress && !(*event.oldAddress == lease.address))
                    nl.removeAddress(ifindex, InterfaceAddress { *event.oldAddress, event.oldPrefix, true });
                nl.addAddress(ifindex, lease, event.leaseSeconds ? event.leaseSeconds : 0xffffffffu);
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
        return failed(std::string("DHCP 事件处理失败：") + e.what());
    }
}

} // namespace tarnwick::netsh
