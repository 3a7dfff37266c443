#include "netsh/ResolvConf.h"

namespace tarnwick::netsh
{
namespace
{

std::string beginMarker(const std::string& ifname)
{
    return "# tarnwick netsh begin " + ifname;
}
std::string endMarker(const std::string& ifname)
{
    return "# tarnwick netsh end " + ifname;
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    for (std::size_t start = 0, end = 0; start < text.size(); start = end + 1) {
        end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        out.push_back(text.substr(start, end - start));
    }
    return out;
}

} // namespace

std::string updateResolvConf(
    const std::string& current, const std::string& ifname, const std::vector<std::string>& servers)
{
    const std::string begin = beginMarker(ifname);
    const std::string end = endMarker(ifname);
    std::string block;
    if (!servers.empty()) {
        block = begin + '\n';
        for (const auto& s : servers)
            block += "nameserver " + s + '\n';
        block += end + '\n';
    }
    std::string rest;
    bool inBlock = false;
    for (const auto& line : lines(current)) {
        if (line == begin) {
            inBlock = true;
            continue;
        }
        if (inBlock) {
            if (line == end)
                inBlock = false;
            continue;
        }
        rest += line + '\n';
    }
    return block + rest;
}

std::vector<std::string> resolvConfServers(const std::string& current, const std::string& ifname)
{
    std::vector<std::string> out;
    bool inBlock = false;
    for (const auto& line : lines(current)) {
        if (line == beginMarker(ifname))
            inBlock = true;
        else if (line == endMarker(ifname))
            inBlock = false;
        else if (inBlock && line.rfind("nameserver ", 0) == 0)
            out.push_back(line.substr(11));
    }
    return out;
}

} // namespace tarnwick::netsh
