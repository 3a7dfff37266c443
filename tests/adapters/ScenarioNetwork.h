#pragma once

#include "adapters/AdapterSource.h"
#include "adapters/LiveValuesSource.h"

#include <string>
#include <vector>

namespace tarnwick::test
{

// A network the status scenarios change and read back: a fixture back end in
// memory, or the lab's real links read over netlink. The same scenario body
// runs against both.
class ScenarioNetwork
{
public:
    virtual ~ScenarioNetwork() = default;
    virtual AdapterSource& adapters() = 0;
    virtual LiveValuesSource& values() = 0;
    // Names of the two adapters the scenarios use.
    virtual std::string first() const = 0;
    virtual std::string second() const = 0;
    // Replaces the link's addresses ("a.b.c.d/len", the first one primary) and
    // default gateways (rising metrics in the given order).
    virtual void setStatic(const std::string& ifname, const std::vector<std::string>& addresses,
        const std::vector<std::string>& gateways)
        = 0;
    // The static DNS servers the link reads back as NameServer.
    virtual void setDns(const std::vector<std::string>& servers) = 0;
};

} // namespace tarnwick::test
