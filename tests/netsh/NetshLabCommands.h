#pragma once

// The command lines of an apply as the command runner hands them to netsh in
// the lab, shared by the lab tests of netsh.
#include "LabState.h"
#include "Process.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace tarnwick::test::lab
{

inline ProcessResult netsh(
    std::vector<std::string> args, const std::map<std::string, std::string>& extraEnv = {})
{
    args.insert(args.begin(), binPath("netsh"));
    return runProcess(args, extraEnv);
}

// The command lines of the apply as the runner hands them over, split by the
// Windows rules: quotes gone, `name="..."` one argument, C8's trailing blank
// and C9's double blank leaving no empty argument.
inline std::vector<std::string> c1()
{
    return { "interface", "ip", "set", "address", "name=" + lan(), "source=dhcp" };
}
inline std::vector<std::string> c2(const std::string& ip, const std::string& mask)
{
    return { "interface", "ip", "set", "address", "name=" + lan(), "source=static", "addr=" + ip,
        "mask=" + mask };
}
inline std::vector<std::string> c3(const std::string& ip, const std::string& mask, const std::string& gw)
{
    auto args = c2(ip, mask);
    args.insert(args.end(), { "gateway=" + gw, "gwmetric=1" });
    return args;
}
inline std::vector<std::string> c4(const std::string& ip, const std::string& mask)
{
    return { "interface", "ip", "add", "address", "name=" + lan(), "addr=" + ip, "mask=" + mask };
}
inline std::vector<std::string> c5(const std::string& gw)
{
    return { "interface", "ip", "set", "address", "name=" + lan(), "gateway=" + gw, "gwmetric=1" };
}
inline std::vector<std::string> c6(const std::string& gw)
{
    return { "interface", "ip", "add", "address", "name=" + lan(), "gateway=" + gw, "gwmetric=2" };
}
inline std::vector<std::string> c7()
{
    return { "interface", "ip", "set", "dns", "name=" + lan(), "source=dhcp" };
}
inline std::vector<std::string> c8(const std::string& dns)
{
    return { "interface", "ip", "set", "dns", "name=" + lan(), "source=static", "addr=" + dns };
}
inline std::vector<std::string> c9(const std::string& dns, int index)
{
    return { "interface", "ip", "add", "dns", "name=" + lan(), "addr=" + dns,
        "index=" + std::to_string(index) };
}

inline void expectOk(const ProcessResult& r, const std::string& what)
{
    EXPECT_EQ(r.exitCode, 0) << what << ": " << r.err;
    EXPECT_NE(r.out.find("确定。\n"), std::string::npos) << what << ": " << r.out;
}

// A clean link: no client, no address, no route, no DNS block of ours.
inline void resetLink()
{
    ASSERT_FALSE(lan().empty()) << "runs inside scripts/lab";
    expectOk(netsh(c2("192.0.2.250", "255.255.255.0")), "reset");
    expectOk(netsh(c7()), "reset dns");
    runProcess({ "ip", "-4", "addr", "flush", "dev", lan() });
    ASSERT_TRUE(addressTexts().empty());
    ASSERT_TRUE(nameservers().empty()) << resolvConf();
}

} // namespace tarnwick::test::lab
