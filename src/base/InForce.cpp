#include "base/InForce.h"

#include "base/Ipv4.h"
#include "base/Text.h"

#include <string>
#include <vector>

namespace tarnwick
{

namespace
{

bool sameText(const std::string& a, const std::string& b)
{
    const std::string x = trimBlanks(a);
    const std::string y = trimBlanks(b);
    const auto ax = parseIpv4(x);
    const auto ay = parseIpv4(y);
    if (ax && ay)
        return *ax == *ay;
    return x == y;
}

// The filled slots in order: an empty slot in between is no value.
template <std::size_t N> std::vector<std::string> filled(const std::array<std::string, N>& slots)
{
    std::vector<std::string> out;
    for (const auto& s : slots)
        if (!trimBlanks(s).empty())
            out.push_back(s);
    return out;
}

bool sameList(const std::vector<std::string>& a, const std::vector<std::string>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!sameText(a[i], b[i]))
            return false;
    return true;
}

std::vector<std::string> addresses(const TcpIpConfig& c)
{
    std::vector<std::string> out;
    for (std::size_t i = 0; i < c.ip.size(); ++i)
        if (!trimBlanks(c.ip[i]).empty()) {
            out.push_back(c.ip[i]);
            out.push_back(c.mask[i]);
        }
    return out;
}

} // namespace

bool isInForce(const TcpIpConfig& stored, const TcpIpConfig& inForce)
{
    if (stored.fixedIp != inForce.fixedIp || stored.fixedDns != inForce.fixedDns)
        return false;
    if (stored.fixedIp
        && (!sameList(addresses(stored), addresses(inForce))
            || !sameList(filled(stored.gateway), filled(inForce.gateway))))
        return false;
    if (stored.fixedDns && !sameList(filled(stored.dns), filled(inForce.dns)))
        return false;
    if (stored.proxyTakesPart) {
        if (stored.proxyOn != inForce.proxyOn)
            return false;
        if (stored.proxyOn
            && (!sameText(stored.proxyHost, inForce.proxyHost)
                || !sameText(stored.proxyPort, inForce.proxyPort)))
            return false;
    }
    return true;
}

} // namespace tarnwick
