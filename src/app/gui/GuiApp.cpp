#include "app/gui/GuiEntry.h"

#include "adapters/PlatformSources.h"
#include "app/gui/Artwork.h"
#include "app/gui/GuardedApplication.h"
#include "app/gui/InstanceChannel.h"
#include "app/gui/InstancePaths.h"
#include "app/gui/QtPrompts.h"
#include "app/gui/QtTranslations.h"
#include "app/gui/StartupLog.h"
#include "app/gui/TDM.h"
#include "app/gui/TFmain.h"
#include "apply/CommandRunner.h"
#include "apply/IcmpNetwork.h"
#include "apply/TickClock.h"
#include "base/FileLock.h"
#include "base/StorePaths.h"
#include "base/UserRegistry.h"
#include "dialup/linux/PppdBackend.h"
#include "store/ConfigFile.h"

#include <QApplication>
#include <QFont>
#include <QScreen>
#include <QTimer>
#include <filesystem>
#include <optional>

#include <memory>

namespace tarnwick::gui
{

namespace
{

inline constexpr const char* kAlreadyRunning = "程序已运行,请勿执行多个程序实例";
// Added when the lock is held but nobody answers on the socket.
inline constexpr const char* kNotAnswering = "正在运行的程序没有响应，无法将其窗口调到前面。";
inline constexpr const char* kFileNotTaken = "正在运行的程序没有响应，未能把快速切换文件交给它。";

} // namespace

int runGui(int argc, char** argv, const std::optional<std::string>& quickSwitchFile)
{
    startupMark("start");
    GuardedApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarnwick"));
    QApplication::setWindowIcon(appIcon());
    installQtTranslations(app);
    LookController::useProgramFont();
    startupMark("application");

    QtPrompts prompts;
    TDM dm(std::make_unique<PppdBackend>());

    const InstancePaths paths = instancePaths();
    // The guard: a per-user lock held for the life of the process; the system
    // drops it however the process ends, so a crash never blocks the next start.
    // Where the lock file cannot be made at all, start unguarded rather than
    // claim that another instance runs.
    std::optional<FileLock> lock;
    try {
        std::filesystem::create_directories(paths.lockFile.parent_path());
        lock.emplace(paths.lockFile, FileLock::Mode::Try);
    } catch (const std::exception&) {
    }
    if (lock && !lock->held()) {
        // A quick-switch file goes to the running instance, which acts on it;
        // without one the running window comes to the front.
        const QString socket = QString::fromStdString(paths.socket.string());
        const bool taken = quickSwitchFile
            ? InstanceChannel::handOver(socket, QString::fromStdString(*quickSwitchFile))
            : InstanceChannel::requestRaise(socket);
        if (!taken)
            prompts.show(MessageSink::Kind::Information,
                std::string(kAlreadyRunning) + "\n" + (quickSwitchFile ? kFileNotTaken : kNotAnswering),
                "Tarnwick");
        return 0;
    }
    InstanceChannel channel;
    channel.listen(QString::fromStdString(paths.socket.string()));

    const StoreEnvironment env = StoreEnvironment::current();
    const std::unique_ptr<RegistryStore> registryStore = openUserRegistry();
    RegistryStore& registry = *registryStore;
    const std::unique_ptr<AdapterSource> adapters = makeAdapterSource(registry);
    const std::unique_ptr<LiveValuesSource> live = makeLiveValuesSource(registry, LiveReads::Refresh);
    LiveSnapshot snapshot;
    // One stateless echo client serves the network test and the apply's check.
    const std::unique_ptr<IcmpNetwork> icmp = makeSystemIcmpNetwork();
    SteadyTickClock ticks;
    ProcessCommandRunner runner;
    const std::unique_ptr<ProxySource> proxy = makeProxySource(registry);

    MainWindowContext context { prompts, registry, configIniPath(env), *adapters, *live, snapshot,
        [&prompts](const std::string& path) { return checkConfigFile(path, prompts); }, *icmp, ticks, runner,
        *proxy, {}, settingsFolder(env) };
    // The stored look, drawn before the widgets exist so they are polished
    // once; the show handler applies it again (then a no-op) and warns when
    // config.ini is missing.
    dm.look().preload(context.iniPath);
    TFmain window(dm, context);
    // Declared after the window: destroyed, its thread joined, before the
    // window its handlers post to. Its events wait for the event loop.
    const std::unique_ptr<LinkWatcher> watcher = makeLinkWatcher(window.linkHandlers());
    startupMark("main window built");
    prompts.setParent(&window);
    QObject::connect(&channel, &InstanceChannel::quickSwitchReceived, &window, &TFmain::quickSwitchRequested);
    QObject::connect(&channel, &InstanceChannel::raiseRequested, &window, &TFmain::raiseRequested);
    if (quickSwitchFile)
        window.quickSwitchRequested(QString::fromStdString(*quickSwitchFile));

    // Placed before the creation handler, whose messages open over it.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window.move(screen->availableGeometry().center() - window.rect().center());
    window.FormCreate();
    window.show();
    startupMark("shown");
    return app.exec();
}

} // namespace tarnwick::gui
