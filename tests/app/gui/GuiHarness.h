#pragma once

// The main window on the offscreen platform: real widgets, real settings
// functions over an in-memory registry, a real config.ini in a temporary
// folder, fixture adapters and a scripted ICMP network.
#include "app/ConfigFileSearch.h"
#include "app/gui/InstanceChannel.h"
#include "app/gui/LookController.h"
#include "app/gui/TDM.h"
#include "app/gui/TFabout.h"
#include "app/gui/TFmain.h"
#include "apply/gui/ProbeIndicator.h"
#include "apply/gui/TFApply.h"
#include "base/MemoryRegistryStore.h"
#include "base/Settings.h"
#include "store/ConfigFile.h"
#include "store/StoreMessages.h"

#include "FakeIcmp.h"
#include "TempDir.h"
#include "TempHome.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <regex>
#include <sstream>
#include <thread>

namespace tarnwick::test
{

namespace fs = std::filesystem;
using namespace tarnwick::gui;

class ScriptedPrompts : public UserPrompts
{
public:
    std::vector<std::string> answers; // "" = cancel
    std::vector<std::string> messages;
    std::vector<std::string> titles;
    int asked = 0;

    void show(Kind kind, const std::string& text, const std::string& title = {}) override
    {
        kinds.push_back(kind);
        messages.push_back(text);
        titles.push_back(title);
    }
    // Yes/No questions asked, answered from `yes` in turn (No when it runs out).
    std::vector<std::string> questions;
    std::vector<bool> yes;
    std::vector<MessageSink::Kind> kinds;
    std::vector<Answers> answerKinds;
    bool confirm(
        const std::string& text, Answers kind = Answers::YesNo, const std::string& title = {}) override
    {
        answerKinds.push_back(kind);
        (void)title;
        const std::size_t i = questions.size();
        questions.push_back(text);
        return i < yes.size() && yes[i];
    }
    std::string askSaveFileName() override
    {
        const std::size_t i = static_cast<std::size_t>(asked++);
        return i < answers.size() ? answers[i] : std::string();
    }
    int count(const std::string& text) const
    {
        return static_cast<int>(std::count(messages.begin(), messages.end(), text));
    }
};

class TwoAdapters : public AdapterSource
{
public:
    std::vector<AdapterEntry> discover() override
    {
        return { { "id-0", "eth0", "Wired" }, { "id-1", "wlan0", "Wireless" } };
    }
};

// eth0 static with two DNS servers, wlan0 on DHCP.
class FixtureValues : public LiveValuesSource
{
public:
    InterfaceReading readInterface(const AdapterEntry& a) override
    {
        InterfaceReading r;
        if (a.instanceId == "id-0") {
            r.ip = { "192.0.2.23" };
            r.mask = { "255.255.255.0" };
            r.gateway = { "192.0.2.1" };
            r.nameServer = "192.0.2.53,192.0.2.54";
            r.gatewayInForce = "192.0.2.1";
            r.dnsInForce = "192.0.2.53";
        } else {
            r.dhcp = true;
            r.ip = { "198.51.100.7" };
            r.mask = { "255.255.255.0" };
        }
        return r;
    }
    ProxyReading readProxy() override { return { false, "proxy.lan:3128" }; }
};

// Answers each command line as netsh does, or holds it until released, so a
// test can act while a switch runs. Runs on the apply window's worker.
class ScriptedRunner : public CommandRunner
{
public:
    CommandOutput run(const std::string& commandLine) override
    {
        std::unique_lock lock(m_mutex);
        ran.push_back(commandLine);
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return !m_holding; });
        if (exitStatus != 0)
            return { { "找不到元素。\n" }, exitStatus };
        return { { "确定。\n" }, 0 };
    }
    void hold()
    {
        std::lock_guard lock(m_mutex);
        m_holding = true;
    }
    void release()
    {
        std::lock_guard lock(m_mutex);
        m_holding = false;
        m_changed.notify_all();
    }
    std::size_t count()
    {
        std::lock_guard lock(m_mutex);
        return ran.size();
    }
    std::vector<std::string> ran; // guarded by m_mutex while a run goes on
    int exitStatus = 0; // what every command exits with; set before a run

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_holding = false;
};

class RecordingProxy : public ProxySource
{
public:
    ProxyReading read() override { return {}; }
    void write(bool on, const std::string& host, const std::string& port) override
    {
        writes.push_back((on ? "on " : "off ") + host + ":" + port);
    }
    std::vector<std::string> writes;
};

// A machine without a dial-up service.
class NoDialService : public DialBackend
{
public:
    bool installed() const override { return false; }
    std::string unavailableReason() const override { return "没有拨号服务"; }
    std::optional<std::vector<std::string>> entries() const override { return std::nullopt; }
    std::optional<std::vector<Connection>> connections() const override { return std::nullopt; }
    void hangUp(const Connection&) override { }
    int readDialParams(const std::string&) override { return 1; }
    int storeCredentials(const std::string&, const std::string&, const std::string&) override { return 1; }
    int dial(const std::string&, Notifier) override { return 1; }
    std::string errorText(int code) const override { return "error " + std::to_string(code); }
};

struct Harness {
    test::TempDir dir;
    test::TempHome home { dir.path() };
    // The desktop database tools the file type would run.
    std::vector<std::vector<std::string>> toolsRun;
    MemoryRegistryStore registry;
    ScriptedPrompts prompts;
    TwoAdapters adapters;
    FixtureValues live;
    LiveSnapshot snapshot;
    // No echo leaves this machine: the network test talks to a scripted one.
    test::FakeClock ticks;
    test::FakeIcmpNetwork icmp { ticks };
    // No command leaves this process: the apply runs scripted netsh answers.
    ScriptedRunner runner;
    RecordingProxy proxy;
    // No pppd either: a page test hands in its own service.
    TDM dm { std::make_unique<NoDialService>() };
    // Where a relative "ConfigFile" is taken from; empty: taken as it is.
    fs::path settingsFolder;
    std::unique_ptr<TFmain> window;

    fs::path ini() const { return dir / "config.ini"; }
    std::string configFile() const { return (dir / "config.xml").string(); }

    // A valid configuration file named by "ConfigFile", and a config.ini.
    void prepare(bool withIni = true)
    {
        std::ofstream(configFile(), std::ios::binary) << emptyConfigFileBytes();
        settings::writeConfigFile(registry, configFile());
        if (withIni)
            settings::writeSkin(ini(), "Valentine");
    }
    void set(std::string_view name, std::string_view value) { settings::writeValue(registry, name, value); }
    std::string get(std::string_view name) { return settings::readValue(registry, name); }

    // `beforeCreate` runs on the new window before its creation handler (a
    // quick-switch file handed over at start, say).
    TFmain& start(const std::function<void(TFmain&)>& beforeCreate = {})
    {
        window.reset();
        MainWindowContext ctx { prompts, registry, ini(), adapters, live, snapshot,
            [this](const std::string& p) { return checkConfigFile(p, prompts); }, icmp, ticks, runner, proxy,
            [this](const std::vector<std::string>& argv) { toolsRun.push_back(argv); }, settingsFolder };
        window = std::make_unique<TFmain>(dm, ctx);
        if (beforeCreate)
            beforeCreate(*window);
        window->FormCreate();
        window->show();
        QCoreApplication::processEvents();
        return *window;
    }

    template <typename T> T* find(const char* name)
    {
        T* w = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QLineEdit* edit(const char* name) { return find<QLineEdit>(name); }
    bool enabled(const char* name) { return find<QWidget>(name)->isEnabled(); }
    void click(const char* name) { QTest::mouseClick(find<QWidget>(name), Qt::LeftButton); }
};

// Chooses an entry of the tray icon's menu, as the user would.
inline void trayChoice(TFmain& window, const char* action)
{
    QAction* a = window.trayMenu()->findChild<QAction*>(QString::fromLatin1(action));
    ASSERT_NE(a, nullptr) << action;
    a->trigger();
}

inline const char* const kSevenFields[]
    = { "cxTEIP", "cxTEIP2", "cxTEIP3", "cxTEMask", "cxTEMask2", "cxTEMask3", "cxTEGateway" };
inline const char* const kDnsFields[]
    = { "cxTEDNSServer", "cxTEDNSServer2", "cxTEDNSServer3", "cxTEDNSServer4" };

} // namespace tarnwick::test
