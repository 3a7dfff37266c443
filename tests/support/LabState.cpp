#include "LabState.h"

#include "Process.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <regex>
#include <sstream>
#include <sys/stat.h>

namespace tarnwick::test::lab
{

using tarnwick::test::runProcess;

std::string env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

std::string lan()
{
    return env("TARNWICK_LAB_IF");
}

std::vector<std::string> objects(const std::string& json)
{
    std::vector<std::string> out;
    std::size_t at = 0;
    while ((at = json.find('{', at)) != std::string::npos) {
        const auto end = json.find('}', at);
        out.push_back(json.substr(at, end - at));
        at = end;
    }
    return out;
}

std::string match(const std::string& text, const std::string& pattern)
{
    std::smatch m;
    return std::regex_search(text, m, std::regex(pattern)) ? m[1].str() : std::string();
}

std::vector<Address> addresses()
{
    const auto r = runProcess({ "ip", "-j", "-4", "addr", "show", "dev", lan() });
    std::vector<Address> out;
    for (const auto& o : objects(r.out)) {
        const auto local = match(o, "\"local\":\"([0-9.]+)\"");
        if (!local.empty())
            out.push_back({ local + "/" + match(o, "\"prefixlen\":([0-9]+)"),
                o.find("\"dynamic\":true") != std::string::npos });
    }
    return out;
}

std::vector<std::string> addressTexts()
{
    std::vector<std::string> out;
    for (const auto& a : addresses())
        out.push_back(a.text);
    std::sort(out.begin(), out.end());
    return out;
}

// Default routes of the link as "gateway metric".
std::vector<std::string> defaultRoutes()
{
    const auto r = runProcess({ "ip", "-j", "-4", "route", "show", "default", "dev", lan() });
    std::vector<std::string> out;
    for (const auto& o : objects(r.out)) {
        const auto metric = match(o, "\"metric\":([0-9]+)");
        out.push_back(match(o, "\"gateway\":\"([0-9.]+)\"") + " " + (metric.empty() ? "0" : metric));
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::string resolvConf()
{
    std::ifstream in("/etc/resolv.conf");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> nameservers()
{
    std::vector<std::string> out;
    std::istringstream in(resolvConf());
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("nameserver ", 0) == 0)
            out.push_back(line.substr(11));
    }
    return out;
}

// The link's record in netsh's state folder for this namespace.
std::string stateText()
{
    struct stat ns {
    };
    ::stat("/proc/self/ns/net", &ns);
    std::ifstream in(
        env("TARNWICK_STATE_DIR") + "/netns-" + std::to_string(ns.st_ino) + "/" + lan() + ".state");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

static std::string statField(const std::string& pid, char* state, std::string* ppid)
{
    std::ifstream in("/proc/" + pid + "/stat");
    std::string text;
    try {
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } catch (const std::exception&) {
        return {}; // it ended while it was read
    }
    const auto open = text.find('(');
    const auto close = text.rfind(')');
    if (open == std::string::npos || close == std::string::npos)
        return {};
    std::istringstream rest(text.substr(close + 2));
    rest >> *state >> *ppid;
    return text.substr(open + 1, close - open - 1);
}

// Live DHCP client instances in this namespace (dhcpcd's helper processes,
// whose parent is a dhcpcd itself, count with their parent).
std::vector<int> clientPids()
{
    struct stat mine {
    };
    ::stat("/proc/self/ns/net", &mine);
    std::vector<int> pids;
    DIR* dir = ::opendir("/proc");
    while (dirent* e = ::readdir(dir)) {
        const std::string pid = e->d_name;
        if (pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        char state = 0;
        std::string ppid;
        const std::string comm = statField(pid, &state, &ppid);
        if ((comm != "dhcpcd" && comm != "dhclient" && comm != "udhcpc" && comm != "busybox") || state == 'Z')
            continue;
        struct stat ns {
        };
        if (::stat(("/proc/" + pid + "/ns/net").c_str(), &ns) != 0 || ns.st_ino != mine.st_ino)
            continue;
        char parentState = 0;
        std::string grandParent;
        if (statField(ppid, &parentState, &grandParent) == comm)
            continue;
        pids.push_back(std::stoi(pid));
    }
    ::closedir(dir);
    std::sort(pids.begin(), pids.end());
    return pids;
}

int clientInstances()
{
    return static_cast<int>(clientPids().size());
}

} // namespace tarnwick::test::lab
