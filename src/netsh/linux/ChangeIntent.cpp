#include "netsh/linux/ChangeIntent.h"

#include "base/AtomicFile.h"
#include "base/Text.h"
#include "netsh/linux/DhcpClient.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <sstream>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace tarnwick::netsh
{

namespace
{

constexpr const char* kFirstLine = "tarnwick-change=1";
constexpr const char* kRecordKey = "record.";

std::filesystem::path intentPath(const std::string& ifname)
{
    return namespaceStateDir() / (ifname + ".intent");
}

std::optional<long long> number(const std::string& text, long long max)
{
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0 || value > max)
        return std::nullopt;
    return value;
}

std::vector<std::string> words(const std::string& text)
{
    return splitNonEmpty(text, ' ');
}

// "a.b.c.d/p dynamic seconds-left"
std::optional<netlink::Address> parseAddressField(const std::string& text)
{
    const auto w = words(text);
    if (w.size() != 3)
        return std::nullopt;
    const auto slash = w[0].find('/');
    if (slash == std::string::npos)
        return std::nullopt;
    const auto ip = parseIpv4(w[0].substr(0, slash));
    const auto prefix = number(w[0].substr(slash + 1), 32);
    const auto dynamic = number(w[1], 1);
    const auto left = number(w[2], 0xffffffffLL);
    if (!ip || !prefix || !dynamic || !left)
        return std::nullopt;
    return netlink::Address { *ip, static_cast<int>(*prefix), *dynamic == 1,
        static_cast<std::uint32_t>(*left) };
}

// "gateway metric protocol multipath onlink"
std::optional<netlink::DefaultRoute> parseRouteField(const std::string& text)
{
    const auto w = words(text);
    if (w.size() != 5)
        return std::nullopt;
    const auto gateway = parseIpv4(w[0]);
    const auto metric = number(w[1], 0x7fffffffLL);
    const auto protocol = number(w[2], 255);
    const auto multipath = number(w[3], 1);
    const auto onlink = number(w[4], 1);
    if (!gateway || !metric || !protocol || !multipath || !onlink)
        return std::nullopt;
    return netlink::DefaultRoute { *gateway, static_cast<int>(*metric), static_cast<int>(*protocol),
        *multipath == 1, *onlink == 1 };
}

// Puts the link as the snapshot has it, its client included: one the change
// started goes, one it held still runs on.
void undoChange(netlink::Socket& nl, const std::string& ifname, int ifindex, const LinkSnapshot& before)
{
    const auto now = readLinkState(ifname);
    const int oldPid = before.record ? before.record->clientPid : 0;
    if (now && now->clientPid > 0 && now->clientPid != oldPid)
        killDhcpClient(now->clientPid, now->client);
    restoreSnapshot(nl, ifname, ifindex, before);
    if (oldPid > 0 && isStoppedDhcpClient(oldPid, before.record->client))
        ::kill(-oldPid, SIGCONT);
}

// Ends what a change to a static address had left to do: the old client goes.
void finishChange(const std::string& ifname)
{
    auto now = readLinkState(ifname);
    if (!now || now->dhcp || now->clientPid == 0)
        return;
    killDhcpClient(now->clientPid, now->client);
    now->clientPid = 0;
    writeLinkState(ifname, *now);
}

} // namespace

std::string formatChangeIntent(const ChangeIntent& intent)
{
    std::string command = intent.command;
    for (char& c : command) {
        if (c == '\n' || c == '\r')
            c = ' ';
    }
    std::string out = std::string(kFirstLine) + "\nifindex=" + std::to_string(intent.ifindex)
        + "\ncommand=" + command + "\nfinishing=" + (intent.finishing ? "1" : "0") + "\n";
    for (const auto& a : intent.before.addresses)
        out += "address=" + formatIpv4(a.address) + "/" + std::to_string(a.prefix) + " "
            + (a.dynamic ? "1 " : "0 ") + std::to_string(a.secondsLeft) + "\n";
    for (const auto& r : intent.before.routes)
        out += "route=" + formatIpv4(r.gateway) + " " + std::to_string(r.metric) + " "
            + std::to_string(r.protocol) + (r.multipath ? " 1" : " 0") + (r.onlink ? " 1" : " 0") + "\n";
    out += std::string("record=") + (intent.before.record ? "1" : "0") + "\n";
    if (intent.before.record) {
        std::istringstream lines(formatLinkState(*intent.before.record));
        for (std::string line; std::getline(lines, line);)
            out += kRecordKey + line + "\n";
    }
    return out + "end\n";
}

std::optional<ChangeIntent> parseChangeIntent(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    // Whole or nothing: first and last line in place, the end line the last
    // one (a cut file lacks it), every line understood.
    if (lines.size() < 2 || lines.front() != kFirstLine || lines.back() != "end" || text.back() != '\n')
        return std::nullopt;
    ChangeIntent intent;
    bool haveIndex = false, haveCommand = false, haveFinishing = false;
    std::optional<bool> hasRecord;
    std::string record;
    for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
        const std::string& line = lines[i];
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            return std::nullopt;
        const std::string key = line.substr(0, eq);
        const std::string value = line.substr(eq + 1);
        if (key == "ifindex" && !haveIndex) {
            const auto n = number(value, 0x7fffffffLL);
            if (!n || *n == 0)
                return std::nullopt;
            intent.ifindex = static_cast<int>(*n);
            haveIndex = true;
        } else if (key == "command" && !haveCommand) {
            intent.command = value;
            haveCommand = true;
        } else if (key == "finishing" && !haveFinishing) {
            const auto n = number(value, 1);
            if (!n)
                return std::nullopt;
            intent.finishing = *n == 1;
            haveFinishing = true;
        } else if (key == "address") {
            const auto a = parseAddressField(value);
            if (!a)
                return std::nullopt;
            intent.before.addresses.push_back(*a);
        } else if (key == "route") {
            const auto r = parseRouteField(value);
            if (!r)
                return std::nullopt;
            intent.before.routes.push_back(*r);
        } else if (key == "record" && !hasRecord) {
            const auto n = number(value, 1);
            if (!n)
                return std::nullopt;
            hasRecord = *n == 1;
        } else if (key.starts_with(kRecordKey) && hasRecord.value_or(false)) {
            record += line.substr(std::char_traits<char>::length(kRecordKey)) + "\n";
        } else {
            return std::nullopt;
        }
    }
    if (!haveIndex || !haveCommand || !haveFinishing || !hasRecord)
        return std::nullopt;
    if (*hasRecord) {
        auto state = parseLinkState(record);
        if (record.empty() || !state || state->ifindex != intent.ifindex)
            return std::nullopt;
        intent.before.record = std::move(*state);
    }
    return intent;
}

std::optional<ChangeIntent> readChangeIntent(const std::string& ifname, bool& unreadable)
{
    unreadable = false;
    if (!isValidInterfaceName(ifname))
        return std::nullopt;
    const auto path = intentPath(ifname);
    struct stat st {
    };
    if (::lstat(path.c_str(), &st) != 0 && errno == ENOENT)
        return std::nullopt;
    std::optional<ChangeIntent> intent;
    try {
        if (S_ISREG(st.st_mode))
            intent = parseChangeIntent(readWholeFile(path));
    } catch (const std::exception&) {
    }
    unreadable = !intent;
    return intent;
}

void writeChangeIntent(const std::string& ifname, const ChangeIntent& intent)
{
    if (!isValidInterfaceName(ifname))
        throw std::system_error(std::make_error_code(std::errc::invalid_argument), "bad interface name");
    const auto dir = namespaceStateDir();
    makeStateFolder(dir);
    writeFileAtomically(intentPath(ifname), formatChangeIntent(intent), 0600);
}

void removeChangeIntent(const std::string& ifname)
{
    if (!isValidInterfaceName(ifname))
        return;
    const auto path = intentPath(ifname);
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        throw std::system_error(errno, std::generic_category(), "cannot remove " + path.string());
}

std::string recoverInterruptedChange(netlink::Socket& nl, const std::string& ifname, int ifindex)
{
    bool unreadable = false;
    const auto intent = readChangeIntent(ifname, unreadable);
    if (!intent && !unreadable)
        return {};
    std::string note;
    if (unreadable) {
        // Nothing is done on a guess: the link stays as it is.
        note = "上次被中断的更改留下的记录无法读取，已丢弃，接口保持现状。";
    } else if (intent->ifindex != ifindex) {
        // An interface of that name made since: not the link the change was for.
    } else if (intent->finishing) {
        finishChange(ifname);
        note = "上次被中断的更改（" + printable(intent->command) + "）已完成。";
    } else {
        undoChange(nl, ifname, ifindex, intent->before);
        note = "上次被中断的更改（" + printable(intent->command) + "）已撤销，接口已恢复到更改前的配置。";
    }
    removeChangeIntent(ifname);
    return note;
}

LinkChange::LinkChange(const std::string& ifname, int ifindex, std::string command)
    : m_ifname(ifname)
    , m_ifindex(ifindex)
    , m_lock(lockState(namespaceStateDir()))
{
    recoverInterruptedChange(m_nl, ifname, ifindex);
    m_intent.ifindex = ifindex;
    m_intent.command = std::move(command);
    m_intent.before = takeSnapshot(m_nl, ifname, ifindex);
    m_state = stateOf(ifname, ifindex);
    writeChangeIntent(ifname, m_intent);
}

LinkChange::~LinkChange()
{
    if (!m_settled)
        undo();
}

void LinkChange::finishing()
{
    m_intent.finishing = true;
    writeChangeIntent(m_ifname, m_intent);
}

void LinkChange::done()
{
    removeChangeIntent(m_ifname);
    m_settled = true;
}

void LinkChange::undo()
{
    m_settled = true;
    try {
        undoChange(m_nl, m_ifname, m_ifindex, m_intent.before);
    } catch (const std::exception&) {
    }
    try {
        removeChangeIntent(m_ifname);
    } catch (const std::exception&) {
    }
}

void LinkChange::undoAfterAll()
{
    FileLock again = lockState(namespaceStateDir());
    try {
        writeChangeIntent(m_ifname, m_intent);
    } catch (const std::exception&) {
    }
    undo();
}

} // namespace tarnwick::netsh
