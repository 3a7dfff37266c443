#pragma once

#include <string>
#include <vector>

// What a lab test reads back from the laptop namespace it runs in: the lab's
// names, the kernel's addresses and routes (`ip -j`), the resolver file,
// netsh's record and the DHCP clients that run.
namespace tarnwick::test::lab
{

std::string env(const char* name);
std::string lan(); // the lab adapter, $TARNWICK_LAB_IF

// The top-level objects of `ip -j` output, and a regex's first group in a text.
std::vector<std::string> objects(const std::string& json);
std::string match(const std::string& text, const std::string& pattern);

struct Address {
    std::string text; // "a.b.c.d/p"
    bool dynamic = false;
};
std::vector<Address> addresses();
std::vector<std::string> addressTexts(); // sorted
// Default routes of the link as "gateway metric", sorted.
std::vector<std::string> defaultRoutes();
std::string resolvConf();
std::vector<std::string> nameservers();
// The link's record in netsh's state folder for this namespace.
std::string stateText();
// Live DHCP client instances in this namespace, and their process ids (sorted).
int clientInstances();
std::vector<int> clientPids();

} // namespace tarnwick::test::lab
