// The main window's network test in the lab: the real adapter back ends read
// lan0, and a click sends real echoes to the lab's gateway and DNS server.
#include "adapters/PlatformSources.h"
#include "app/ConfigFileSearch.h"
#include "app/gui/TDM.h"
#include "app/gui/TFmain.h"
#include "apply/gui/ProbeIndicator.h"
#include "base/MemoryRegistryStore.h"
#include "base/Settings.h"
#include "store/ConfigFile.h"

#include "Process.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <cstdlib>
#include <fstream>

using namespace tarnwick;
using namespace tarnwick::gui;
using tarnwick::test::runProcess;

namespace
{

std::string env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

class SilentPrompts : public UserPrompts
{
public:
    std::vector<std::string> messages;
    void show(Kind, const std::string& text, const std::string& = {}) override { messages.push_back(text); }
    std::string askSaveFileName() override { return {}; }
};

void must(const std::vector<std::string>& argv)
{
    const auto r = runProcess(argv);
    ASSERT_EQ(r.exitCode, 0) << argv[0] << ": " << r.err;
}

} // namespace

TEST(MainWindowLab, TestButtonShowsTheRoundTripsOfTheLabsGatewayAndDnsServer)
{
    if (env("TARNWICK_LAB").empty())
        GTEST_SKIP() << "runs inside the lab (scripts/lab run)";
    const std::string lan = env("TARNWICK_LAB_IF");
    must({ "ip", "addr", "add", "192.0.2.23/24", "dev", lan });
    must({ "ip", "route", "add", "default", "via", env("TARNWICK_LAB_GATEWAY") });
    std::ofstream("/etc/netns/" + env("TARNWICK_LAB_LAPTOP_NS") + "/resolv.conf")
        << "nameserver " << env("TARNWICK_LAB_DNS1") << "\n";

    test::TempDir dir;
    MemoryRegistryStore registry;
    SilentPrompts prompts;
    const std::string config = (dir / "config.xml").string();
    std::ofstream(config, std::ios::binary) << emptyConfigFileBytes();
    settings::writeConfigFile(registry, config);
    settings::writeSkin(dir / "config.ini", "Standard");
    const auto adapters = makeAdapterSource(registry);
    const auto live = makeLiveValuesSource(registry, LiveReads::Refresh);
    LiveSnapshot snapshot;
    TDM dm;
    MainWindowContext ctx { prompts, registry, dir / "config.ini", *adapters, *live, snapshot,
        [&prompts](const std::string& p) { return static_cast<int>(checkConfigFile(p, prompts)); }, nullptr,
        nullptr };
    TFmain w(dm, ctx);
    w.FormCreate();
    w.show();
    QCoreApplication::processEvents();
    ASSERT_EQ(snapshot.get().gatewayInForce, env("TARNWICK_LAB_GATEWAY"));

    QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("cxBtest")), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!w.probeRunning(), 10000);
    const QRegularExpression roundTrip(QStringLiteral("^[0-9]+ms$"));
    for (const char* label : { "cxLTestGate", "cxLTestDNS" })
        EXPECT_TRUE(roundTrip.match(w.findChild<QLabel*>(QString::fromLatin1(label))->text()).hasMatch())
            << label << ": " << w.findChild<QLabel*>(QString::fromLatin1(label))->text().toStdString();
    for (const char* circle : { "SP_TestGate", "SP_TestDNS" })
        EXPECT_EQ(w.findChild<ProbeIndicator*>(QString::fromLatin1(circle))->colour(), QColor(0, 255, 0))
            << circle;
    EXPECT_TRUE(prompts.messages.empty());
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
