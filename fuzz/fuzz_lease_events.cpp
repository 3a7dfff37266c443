// Any variables and arguments a DHCP client (or anyone running the hook) may
// hand over: a bound event always carries an address a host may have, and
// nothing the parser keeps is an address no host may be given.
#include "netsh/AddressRules.h"
#include "netsh/LeaseEvent.h"

#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tarnwick;
    using namespace tarnwick::netsh;
    // NUL-separated fields: name=value pairs, then "--" and the arguments.
    std::map<std::string, std::string> env;
    std::vector<std::string> args;
    bool inArgs = false;
    std::string field;
    const auto take = [&] {
        if (field == "--")
            inArgs = true;
        else if (inArgs)
            args.push_back(field);
        else if (const auto eq = field.find('='); eq != std::string::npos)
            env[field.substr(0, eq)] = field.substr(eq + 1);
        field.clear();
    };
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            take();
        else
            field += static_cast<char>(data[i]);
    }
    take();
    const LeaseEvent e = parseLeaseEvent(env, args);
    if (e.kind == LeaseEvent::Kind::Bound && (!e.address || !unusable(*e.address, Role::Host).empty()))
        std::abort();
    for (const Ipv4& r : e.routers) {
        if (!unusable(r, Role::Gateway).empty())
            std::abort();
    }
    return 0;
}
