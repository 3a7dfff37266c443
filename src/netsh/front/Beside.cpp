#include "netsh/front/Beside.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tarnwick::netsh
{

namespace
{

std::string selfDir()
{
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return {};
    self[n] = '\0';
    std::string dir(self);
    return dir.substr(0, dir.rfind('/'));
}

// Read from the file itself: a static program has no account lookups.
std::string groupName(unsigned gid)
{
    std::ifstream in("/etc/group");
    std::string line;
    while (std::getline(in, line)) {
        const auto a = line.find(':');
        const auto b = a == std::string::npos ? a : line.find(':', a + 1);
        const auto c = b == std::string::npos ? b : line.find(':', b + 1);
        if (c != std::string::npos && line.substr(b + 1, c - b - 1) == std::to_string(gid))
            return line.substr(0, a);
    }
    return std::to_string(gid);
}

} // namespace

bool systemBusSocketExists()
{
    std::string path = "/run/dbus/system_bus_socket";
    if (const char* address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS")) {
        const std::string a = address;
        const std::string prefix = "unix:path=";
        if (a.rfind(prefix, 0) != 0)
            return true; // another transport: GDBus judges it
        const auto comma = a.find(',');
        path
            = a.substr(prefix.size(), comma == std::string::npos ? std::string::npos : comma - prefix.size());
    }
    struct stat st {
    };
    return ::stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

int execBeside(const char* name, char** argv)
{
    const std::string program = selfDir() + "/" + name;
    std::vector<char*> args { const_cast<char*>(program.c_str()) };
    for (char** a = argv + 1; *a; ++a)
        args.push_back(*a);
    args.push_back(nullptr);
    ::execv(program.c_str(), args.data());
    const int error = errno;
    std::string message = "无法启动 " + program + "：" + std::strerror(error) + "，未作任何更改。";
    struct stat st {
    };
    if (error == EACCES && ::stat(program.c_str(), &st) == 0) {
        // The helper is kept for the members of its group.
        message = "只有 " + groupName(st.st_gid) + " 组的成员才能用 netsh 更改网络设置，未作任何更改。";
    }
    std::fputs((message + "\n").c_str(), stderr);
    return 1;
}

} // namespace tarnwick::netsh
