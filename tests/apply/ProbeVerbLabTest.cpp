// `tarnwick probe` in the lab, with the adapter set up by the bundled netsh
// through the command runner, as the apply sequence does it.
#include "apply/RunWindowsExe.h"

#include "Process.h"

#include <gtest/gtest.h>
#include <regex>

using namespace tarnwick;
using tarnwick::test::binPath;
using tarnwick::test::runProcess;

namespace
{

std::string netsh(const std::string& args)
{
    std::string out;
    for (const auto& chunk : RunWindowsExe("netsh interface ip " + args))
        out += chunk;
    return out;
}

std::string probe(const std::vector<std::string>& extra = {})
{
    std::vector<std::string> argv = { binPath("tarnwick"), "probe" };
    argv.insert(argv.end(), extra.begin(), extra.end());
    const auto r = runProcess(argv);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out;
}

} // namespace

TEST(ProbeVerb, PrintsBothIndicatorsForStaticAndDhcpAdaptersAndRefusesMissingOnes)
{
    if (!std::getenv("TARNWICK_LAB"))
        GTEST_SKIP() << "runs inside the lab (scripts/lab run)";
    const std::regex answered("gateway\t[0-9]+ms\t#00ff00\ndns\t[0-9]+ms\t#00ff00\n");

    netsh(R"(set address name="lan0" source="static" addr="192.0.2.10" mask="255.255.255.0" )"
          R"(gateway="192.0.2.1" gwmetric=1)");
    netsh(R"(set dns name="lan0" source="static" addr="192.0.2.53" )");
    std::string out = probe();
    EXPECT_TRUE(std::regex_match(out, answered)) << out;

    // Nobody at this DNS address: no answer within 2000 ms.
    netsh(R"(set dns name="lan0" source="static" addr="192.0.2.99" )");
    out = probe({ "--adapter", "0" });
    EXPECT_TRUE(std::regex_match(out, std::regex("gateway\t[0-9]+ms\t#00ff00\ndns\t超时\t#ff0000\n"))) << out;

    // A DHCP adapter has no static gateway or DNS server; the ones in force
    // are probed all the same.
    netsh(R"(set address name="lan0" source="dhcp")");
    netsh(R"(set dns name="lan0" source="dhcp")");
    out = probe();
    EXPECT_TRUE(std::regex_match(out, answered)) << out;

    const auto missing = runProcess({ binPath("tarnwick"), "probe", "--adapter", "7" });
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("no adapter 7"), std::string::npos) << missing.err;
    EXPECT_EQ(runProcess({ binPath("tarnwick"), "probe", "--adapter" }).exitCode, 64);
}
