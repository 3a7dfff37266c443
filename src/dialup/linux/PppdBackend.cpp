#include "dialup/linux/PppdBackend.h"

#include "base/AtomicFile.h"
#include "base/Spawn.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>

namespace tarnwick
{

namespace fs = std::filesystem;

namespace
{

std::string environment(const char* name, const std::string& fallback)
{
    const char* v = std::getenv(name);
    return v && *v ? v : fallback;
}

std::string readOrEmpty(const fs::path& path)
{
    try {
        return readWholeFile(path);
    } catch (const std::system_error&) {
        return {};
    }
}

// A word of pppd's option and secrets files, quoted.
std::string quoted(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

bool holdsControlCharacter(const std::string& text)
{
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

std::string firstWord(const std::string& line)
{
    std::istringstream in(line);
    std::string word;
    in >> word;
    return word;
}

// May this process write the file (or create it in its folder)?
bool writable(const fs::path& path)
{
    if (::access(path.c_str(), F_OK) == 0)
        return ::access(path.c_str(), W_OK) == 0;
    return ::access(path.parent_path().c_str(), W_OK) == 0;
}

// The arguments of a live process of the program `pppd`, or nothing for
// another process (or one this user may not look into).
std::optional<std::vector<std::string>> pppdArguments(const std::string& pid, const fs::path& pppd)
{
    const std::string comm = readOrEmpty("/proc/" + pid + "/comm");
    if (comm != "pppd\n")
        return std::nullopt;
    std::error_code ec;
    if (fs::read_symlink("/proc/" + pid + "/exe", ec) != pppd)
        return std::nullopt;
    const std::string stat = readOrEmpty("/proc/" + pid + "/stat");
    if (const auto close = stat.rfind(')');
        close == std::string::npos || close + 2 >= stat.size() || stat[close + 2] == 'Z')
        return std::nullopt;
    std::vector<std::string> args;
    std::string cmdline = readOrEmpty("/proc/" + pid + "/cmdline");
    std::size_t at = 0;
    while (at < cmdline.size()) {
        const std::size_t end = cmdline.find('\0', at);
        args.push_back(cmdline.substr(at, end - at));
        at = end == std::string::npos ? cmdline.size() : end + 1;
    }
    return args;
}

// What pppd reports as it connects, mapped onto connection states.
struct Progress {
    const char* starts;
    int state;
    int error;
};
constexpr Progress kProgress[] = {
    { "Using interface ", dialstate::ConnectDevice, 0 },
    { "Connect: ", dialstate::DeviceConnected, 0 },
    { "PAP authentication succeeded", dialstate::Authenticated, 0 },
    { "CHAP authentication succeeded", dialstate::Authenticated, 0 },
    { "PAP authentication failed", dialstate::AuthNotify, pppderror::BadCredentials },
    { "CHAP authentication failed", dialstate::AuthNotify, pppderror::BadCredentials },
    { "local  IP address ", dialstate::Projected, 0 },
    { "remote IP address ", dialstate::Connected, 0 },
};

// May `who` run the program, by its mode bits? Root may when anyone may.
bool mayExecute(const struct stat& st, const DialerIdentity& who)
{
    if (!S_ISREG(st.st_mode))
        return false;
    if (who.uid == 0)
        return (st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0;
    if (who.uid == st.st_uid)
        return (st.st_mode & S_IXUSR) != 0;
    const bool member = who.gid == st.st_gid
        || std::find(who.groups.begin(), who.groups.end(), st.st_gid) != who.groups.end();
    return (st.st_mode & (member ? S_IXGRP : S_IXOTH)) != 0;
}

std::string groupName(gid_t gid)
{
    if (const group* g = ::getgrgid(gid))
        return g->gr_name;
    return std::to_string(gid);
}

std::string userName(uid_t uid)
{
    if (const passwd* p = ::getpwuid(uid))
        return p->pw_name;
    return std::to_string(uid);
}

} // namespace

DialerIdentity DialerIdentity::current()
{
    DialerIdentity who { ::geteuid(), ::getegid(), {} };
    const int n = ::getgroups(0, nullptr);
    if (n > 0) {
        who.groups.resize(static_cast<std::size_t>(n));
        who.groups.resize(static_cast<std::size_t>(std::max(0, ::getgroups(n, who.groups.data()))));
    }
    return who;
}

PppdPaths PppdPaths::current()
{
    PppdPaths p;
    p.peers = environment("TARNWICK_PPP_PEERS", p.peers.string());
    p.secrets = environment("TARNWICK_PPP_SECRETS", p.secrets.string());
    p.run = environment("TARNWICK_PPP_RUN", p.run.string());
    p.pppd = environment("TARNWICK_PPPD", p.pppd);
    return p;
}

PppdBackend::PppdBackend(PppdPaths paths, DialerIdentity who)
    : m_paths(std::move(paths))
    , m_who(std::move(who))
{
}

PppdBackend::~PppdBackend()
{
    if (m_dial.joinable())
        m_dial.detach(); // it holds copies of all it uses and ends with its pppd
}

bool PppdBackend::installed() const
{
    struct stat st {
    };
    return ::stat(m_paths.pppd.c_str(), &st) == 0 && mayExecute(st, m_who);
}

std::string PppdBackend::unavailableReason() const
{
    struct stat st {
    };
    if (::stat(m_paths.pppd.c_str(), &st) != 0)
        return "没有找到拨号程序 pppd（" + m_paths.pppd + "），请先安装 ppp 软件包。";
    if (mayExecute(st, m_who))
        return {};
    const std::string user = userName(m_who.uid);
    if ((st.st_mode & S_IXGRP) != 0) {
        const std::string group = groupName(st.st_gid);
        return "只有 " + group + " 组的成员才能拨号，当前用户 " + user + " 不在 " + group
            + " 组中。请管理员把该用户加入 " + group + " 组（sudo adduser " + user + " " + group
            + "），重新登录后再拨号。";
    }
    return "当前用户 " + user + " 没有运行拨号程序 pppd（" + m_paths.pppd + "）的权限。";
}

std::optional<std::vector<std::string>> PppdBackend::entries() const
{
    std::error_code ec;
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(m_paths.peers, ec)) {
        const std::string name = e.path().filename().string();
        // Editors' and dpkg's leftovers are no lines.
        if (name.starts_with('.') || name.ends_with('~') || name.find(".dpkg-") != std::string::npos)
            continue;
        if (e.is_regular_file(ec))
            names.push_back(name);
    }
    if (ec)
        return std::nullopt;
    std::sort(names.begin(), names.end());
    return names;
}

bool PppdBackend::validEntry(const std::string& entry) const
{
    if (entry.empty() || entry.find('/') != std::string::npos || entry.starts_with('.'))
        return false;
    const auto names = entries();
    return names && std::find(names->begin(), names->end(), entry) != names->end();
}

std::optional<std::vector<DialBackend::Connection>> PppdBackend::connections() const
{
    DIR* dir = ::opendir("/proc");
    if (!dir)
        return std::nullopt;
    std::error_code ec;
    const fs::path program = fs::canonical(m_paths.pppd, ec);
    std::vector<Connection> out;
    while (const dirent* e = ::readdir(dir)) {
        const std::string pid = e->d_name;
        if (pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const auto args = pppdArguments(pid, program);
        if (!args)
            continue;
        Connection c;
        c.handle = std::stoi(pid);
        for (std::size_t i = 1; i + 1 < args->size(); ++i) {
            if ((*args)[i] == "call" || (*args)[i] == "linkname")
                c.entry = (*args)[i + 1];
        }
        // pppd's linkname file: its pid, then the interface once the link is up.
        const auto pidFile = lines(readOrEmpty(m_paths.run / ("ppp-" + c.entry + ".pid")));
        if (!c.entry.empty() && pidFile.size() >= 2 && pidFile[0] == pid) {
            c.device = pidFile[1];
            c.connected = true;
        }
        out.push_back(c);
    }
    ::closedir(dir);
    std::sort(
        out.begin(), out.end(), [](const Connection& a, const Connection& b) { return a.handle < b.handle; });
    return out;
}

void PppdBackend::hangUp(const Connection& connection)
{
    // Also other programs' connections, where this user may end them.
    if (connection.handle > 0)
        ::kill(connection.handle, SIGTERM);
}

int PppdBackend::readDialParams(const std::string& entry)
{
    if (!validEntry(entry))
        return pppderror::NoSuchEntry;
    return ::access((m_paths.peers / entry).c_str(), R_OK) == 0 ? 0 : pppderror::AccessDenied;
}

int PppdBackend::storeCredentials(
    const std::string& entry, const std::string& user, const std::string& password)
{
    if (!validEntry(entry))
        return pppderror::NoSuchEntry;
    if (user.empty() || holdsControlCharacter(user) || holdsControlCharacter(password))
        return pppderror::UnusableText;
    const fs::path peer = m_paths.peers / entry;
    const std::string options = readOrEmpty(peer);
    // The secrets its authentication reads: both, unless the peer refuses one.
    std::vector<fs::path> secrets;
    if (options.find("refuse-pap") == std::string::npos)
        secrets.push_back(m_paths.secrets / "pap-secrets");
    if (options.find("refuse-chap") == std::string::npos)
        secrets.push_back(m_paths.secrets / "chap-secrets");
    // All or nothing: every file must be writable before any is written.
    if (!writable(peer) || !std::all_of(secrets.begin(), secrets.end(), writable))
        return pppderror::AccessDenied;
    try {
        std::string updated;
        for (const std::string& line : lines(options)) {
            if (firstWord(line) != "user")
                updated += line + "\n";
        }
        updated += "user " + quoted(user) + "\n";
        if (updated != options)
            writeFileAtomically(peer, updated, 0644);
        // This entry's line alone, marked so that it is found again.
        const std::string mark = "# tarnwick:" + entry;
        const std::string ours = quoted(user) + " * " + quoted(password) + " " + mark;
        for (const fs::path& file : secrets) {
            std::string text;
            bool replaced = false;
            for (const std::string& line : lines(readOrEmpty(file))) {
                if (line.ends_with(" " + mark)) {
                    if (!replaced)
                        text += ours + "\n";
                    replaced = true;
                } else {
                    text += line + "\n";
                }
            }
            if (!replaced)
                text += ours + "\n";
            writeFileAtomically(file, text, 0600, FileAccess::Private);
        }
    } catch (const std::system_error&) {
        return pppderror::AccessDenied;
    }
    return 0;
}

int PppdBackend::dial(const std::string& entry, Notifier notify)
{
    if (!validEntry(entry))
        return pppderror::NoSuchEntry;
    // The system's peers are read with "call" (trusted, so group dip may
    // dial them); others (tests) are named as an options file.
    std::vector<std::string> argv { "pppd" };
    if (m_paths.peers == "/etc/ppp/peers")
        argv.insert(argv.end(), { "call", entry });
    else
        argv.insert(argv.end(), { "file", (m_paths.peers / entry).string() });
    // Detach once the link is up, so it outlives this program; name the
    // link so its pid file tells which line it is.
    argv.insert(argv.end(), { "updetach", "linkname", entry });
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return pppderror::CannotStart;
    pid_t pid = -1;
    try {
        pid = spawnProgram(m_paths.pppd, argv, ChildStreams { -1, out[1], out[1] });
    } catch (const std::system_error&) {
    }
    ::close(out[1]);
    if (pid < 0) {
        ::close(out[0]);
        return pppderror::CannotStart;
    }
    if (m_dial.joinable())
        m_dial.detach();
    m_dial = std::thread([pid, fd = out[0], notify = std::move(notify)] {
        notify(dialstate::OpenPort, 0, {});
        std::string pending, address, lastWords;
        bool connected = false, authFailed = false;
        char buf[512];
        for (;;) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            pending.append(buf, static_cast<std::size_t>(n));
            for (std::size_t nl; (nl = pending.find('\n')) != std::string::npos; pending.erase(0, nl + 1)) {
                const std::string line = pending.substr(0, nl);
                bool progress = false;
                for (const Progress& p : kProgress) {
                    if (line.starts_with(p.starts)) {
                        progress = true;
                        if (p.state == dialstate::Projected)
                            address = firstWord(line.substr(std::string_view(p.starts).size()));
                        connected = connected || p.state == dialstate::Connected;
                        authFailed = authFailed || p.error != 0;
                        notify(p.state, p.error, p.state == dialstate::Connected ? address : std::string());
                    }
                }
                // What pppd said last is why it gave up, when it does.
                if (!progress && !firstWord(line).empty())
                    lastWords = line.substr(0, 200);
            }
        }
        ::close(fd);
        const int status = waitForExit(pid);
        if (status != 0 && !authFailed)
            notify(dialstate::Disconnected, pppderror::PppdExit + (status < 0 ? 5 : status), lastWords);
        else if (status == 0 && !connected)
            notify(dialstate::Connected, 0, address);
    });
    return 0;
}

std::string PppdBackend::errorText(int code) const
{
    switch (code) {
    case pppderror::AccessDenied:
        return "没有权限读写拨号配置（/etc/ppp 下的文件属于 root）";
    case pppderror::NoSuchEntry:
        return "找不到这条连接线路（" + (m_paths.peers).string() + " 中没有它）";
    case pppderror::CannotStart:
        return "无法启动 pppd（" + m_paths.pppd + "）";
    case pppderror::BadCredentials:
        return "用户名或密码不正确，对方拒绝了身份验证";
    case pppderror::UnusableText:
        return "用户名为空，或用户名、密码中含有控制字符";
    default:
        break;
    }
    // pppd's exit statuses, as its manual gives them.
    static const char* const exits[] = {
        "连接已建立",
        "pppd 遇到致命错误",
        "拨号选项有误",
        "pppd 没有 setuid root，而当前用户不是 root",
        "内核不支持 PPP（缺少 PPP 驱动）",
        "pppd 被信号终止",
        "无法锁定串口",
        "无法打开串口",
        "连接脚本失败",
        "pty 选项指定的命令无法运行",
        "PPP 协商失败",
        "对方未能通过身份验证",
        "连接因空闲而断开",
        "连接时间已到上限",
        "已协商回拨，等待来电",
        "对方不再回应（LCP echo）",
        "调制解调器已挂断",
        "检测到串口回环",
        "初始化脚本失败",
        "身份验证失败，用户名或密码不正确",
    };
    const int status = code - pppderror::PppdExit;
    if (status >= 0 && status < static_cast<int>(std::size(exits)))
        return std::string(exits[status]) + "（pppd 退出码 " + std::to_string(status) + "）";
    return "拨号失败（错误 " + std::to_string(code) + "）";
}

} // namespace tarnwick
