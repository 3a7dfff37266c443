#include "dialup/linux/PppdBackend.h"

#include "base/AtomicFile.h"
#include "base/Spawn.h"
#include "dialup/linux/PppdFiles.h"
#include "dialup/linux/PppdProcesses.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace tarnwick
{

namespace fs = std::filesystem;
using pppdfiles::firstWord;

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

// May this process write the file (or create it in its folder)?
bool writable(const fs::path& path)
{
    if (::access(path.c_str(), F_OK) == 0)
        return ::access(path.c_str(), W_OK) == 0;
    return ::access(path.parent_path().c_str(), W_OK) == 0;
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

// Reads a dial's progress from its pppd's output `fd` until pppd detaches or
// ends, then reports how it ended; or until `stop` is readable (the back end
// goes): then at once, reporting nothing more.
void readProgress(pid_t pid, int fd, int stop, const DialBackend::Notifier& notify)
{
    notify(dialstate::OpenPort, 0, {});
    std::string pending, address, lastWords;
    bool connected = false, authFailed = false;
    char buf[512];
    for (;;) {
        pollfd watched[2] = { { fd, POLLIN, 0 }, { stop, POLLIN, 0 } };
        if (::poll(watched, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (watched[1].revents != 0) {
            ::close(fd);
            ::waitpid(pid, nullptr, WNOHANG);
            return;
        }
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
}

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

struct PppdBackend::Reader {
    std::thread thread;
    std::atomic<bool> finished = false;
};

PppdBackend::PppdBackend(PppdPaths paths, DialerIdentity who)
    : m_paths(std::move(paths))
    , m_who(std::move(who))
{
    if (::pipe2(m_stop, O_CLOEXEC) != 0)
        m_stop[0] = m_stop[1] = -1; // dial() refuses then
}

PppdBackend::~PppdBackend()
{
    if (m_stop[1] >= 0)
        ::close(m_stop[1]);
    for (const auto& reader : m_readers)
        reader->thread.join();
    if (m_stop[0] >= 0)
        ::close(m_stop[0]);
}

void PppdBackend::joinFinishedReaders()
{
    std::erase_if(m_readers, [](const std::unique_ptr<Reader>& reader) {
        if (!reader->finished)
            return false;
        reader->thread.join();
        return true;
    });
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
    return pppdConnections(m_paths.pppd, m_paths.run);
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
    if (user.empty() || pppdfiles::holdsControlCharacter(user) || pppdfiles::holdsControlCharacter(password))
        return pppderror::UnusableText;
    const fs::path peer = m_paths.peers / entry;
    const std::string options = readOrEmpty(peer);
    std::vector<fs::path> secrets;
    if (pppdfiles::readsPapSecrets(options))
        secrets.push_back(m_paths.secrets / "pap-secrets");
    if (pppdfiles::readsChapSecrets(options))
        secrets.push_back(m_paths.secrets / "chap-secrets");
    // All or nothing: every file must be writable before any is written.
    if (!writable(peer) || !std::all_of(secrets.begin(), secrets.end(), writable))
        return pppderror::AccessDenied;
    try {
        if (const std::string updated = pppdfiles::withUser(options, user); updated != options)
            writeFileAtomically(peer, updated, 0644);
        for (const fs::path& file : secrets)
            writeFileAtomically(file, pppdfiles::withSecret(readOrEmpty(file), entry, user, password), 0600,
                FileAccess::Private);
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
    if (m_stop[0] < 0 || ::pipe2(out, O_CLOEXEC) != 0)
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
    joinFinishedReaders();
    auto reader = std::make_unique<Reader>();
    try {
        m_readers.reserve(m_readers.size() + 1);
        Reader& self = *reader;
        self.thread = std::thread([&self, pid, fd = out[0], stop = m_stop[0], notify = std::move(notify)] {
            readProgress(pid, fd, stop, notify);
            self.finished = true;
        });
    } catch (const std::exception&) {
        // Unread, pppd would fill its pipe and hang: it goes.
        ::close(out[0]);
        ::kill(pid, SIGTERM);
        waitForExit(pid);
        return pppderror::CannotStart;
    }
    m_readers.push_back(std::move(reader));
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
