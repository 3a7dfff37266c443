#include "netsh/ResolvConf.h"

namespace tarnwick::netsh
{
namespace
{

constexpr const char* kBlockBegin = "# tarnwick netsh begin ";
constexpr const char* kBlockEnd = "# tarnwick netsh end ";
// A server line of the file's own, out of glibc's sight while ours are in force.
constexpr const char* kSetAside = "# tarnwick netsh set aside: ";

std::string beginMarker(const std::string& ifname)
{
    return kBlockBegin + ifname;
}
std::string endMarker(const std::string& ifname)
{
    return kBlockEnd + ifname;
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

// As glibc reads the file: the keyword at the start of the line, then a blank.
bool isServerLine(const std::string& line)
{
    constexpr std::string_view keyword = "nameserver";
    return line.starts_with(keyword) && line.size() > keyword.size()
        && (line[keyword.size()] == ' ' || line[keyword.size()] == '\t');
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
    // This link's block goes; other links' blocks are kept whole.
    std::vector<std::string> rest;
    bool otherBlocks = false;
    std::string openBlock; // end marker of the block being walked, if any
    for (const auto& line : lines(current)) {
        if (openBlock.empty() && line.starts_with(kBlockBegin)) {
            openBlock = kBlockEnd + line.substr(std::string_view(kBlockBegin).size());
            if (line == begin)
                continue;
            otherBlocks = true;
        } else if (!openBlock.empty()) {
            const bool ours = openBlock == end;
            if (line == openBlock)
                openBlock.clear();
            if (ours)
                continue;
        }
        rest.push_back(line);
    }
    const bool oursInForce = !block.empty() || otherBlocks;
    std::string out = block;
    bool inBlock = false;
    for (const auto& line : rest) {
        if (line.starts_with(kBlockBegin))
            inBlock = true;
        else if (line.starts_with(kBlockEnd))
            inBlock = false;
        if (!inBlock && oursInForce && isServerLine(line))
            out += kSetAside + line + '\n';
        else if (!inBlock && !oursInForce && line.starts_with(kSetAside))
            out += line.substr(std::string_view(kSetAside).size()) + '\n';
        else
            out += line + '\n';
    }
    return out;
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
