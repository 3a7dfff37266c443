#pragma once

#include "adapters/AdapterTable.h"
#include "adapters/LinkWatcher.h"
#include "adapters/StatusUpdater.h"
#include "adapters/StatusView.h"
#include "app/gui/MainWindowContext.h"
#include "apply/ApplySequence.h"
#include "apply/NetworkProbe.h"
#include "apply/ProbeView.h"
#include "apply/TBMDThread.h"
#include "store/ConfigList.h"
#include "store/ConfigTable.h"
#include "store/SystemClock.h"

#include <QMainWindow>
#include <QSystemTrayIcon>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTimer;

namespace Ui
{
class TFmain;
}

namespace tarnwick
{
class TFApply;
class TFSaveConfig;
} // namespace tarnwick

namespace tarnwick::gui
{

class TDM;
class TFabout;

// The main window. It shows what the core decides and forwards its handlers
// to the core; the rules themselves live in WindowRules, Settings, the
// adapters' status refresh and the skin catalog. It is also the view of its
// network test: the probe's worker hands each indicator change to it.
class TFmain : public QMainWindow, public ProbeView, public ApplyInputs
{
    Q_OBJECT
public:
    TFmain(TDM& dm, MainWindowContext context, QWidget* parent = nullptr);
    ~TFmain() override;

    // The creation handler: settings, configuration file, adapters. Runs once,
    // before the window is first shown.
    void FormCreate();

    // The configuration file in use, "null" when none was chosen.
    const std::string& configFilePath() const;

    // Width as the original frame counts it (client width plus the border).
    int outerWidth() const;
    // The window's width, and the advanced groups shown only when wide.
    void setOuterWidth(int outer);

    // A quick-switch file handed over at start or by a second start: acted
    // on once the window has been shown.
    void quickSwitchRequested(const QString& path);
    // A second start without a file: the window comes to the front, out of
    // the notification area or the minimised state.
    void raiseRequested();

    // The status refresh's tick; public so tests need not wait a second.
    void Timer1Timer();
    TFApply* applyWindow() const { return m_apply.get(); }
    bool probeRunning() const { return m_bmdThread1 && m_bmdThread1->IsRunning(); }
    NetworkProbe& probe() { return *m_probe; }
    const ConfigTable& configTable() const;
    // The inverse of fields(): puts `config` into the fields, each switch
    // with the effects of the user's click on it.
    void setFields(const TcpIpConfig& config);
    TFSaveConfig* saveDialog() const;
    QMenu* switchMenu() const { return m_switchMenu; }

    // The last tray balloon as "title|text" (tests; the tray may be missing).
    const std::string& lastBalloon() const { return m_lastBalloon; }
    bool trayAvailable() const;
    QSystemTrayIcon* trayIcon() const { return m_tray; }
    QMenu* trayMenu() const { return m_trayMenu; }
    TFabout* aboutWindow() const { return m_about; }

    // What a LinkWatcher calls, from its own thread: each hands the event to
    // the GUI thread, a burst as one refresh. The watcher must be destroyed
    // (joined) before this window.
    LinkWatcher::Handlers linkHandlers();

signals:
    // After every run of the show handler (tests wait on it).
    void formShown();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    // ProbeView, on the GUI thread: label and circle repainted at once.
    void showIndicator(ProbeTarget target, const IndicatorState& state) override;
    // ApplyInputs, on the GUI thread: what the apply sequence reads.
    std::string connectionName() override;
    TcpIpConfig fields() override;
    std::string configurationName() override;

private:
    void showFromTray(); // "显示窗体"
    void hideToTray(); // "隐藏窗体"
    void cxBgjClick();
    void cxBtestClick(); // "测 试": starts the probe; ignored while one runs
    void cxBApplyClick(); // "应 用": shows the apply window in place of this one and starts the switch
    // Copies ConfigTable entry i into the fields, with the effects of the
    // user's clicks on the radio buttons and boxes that change.
    void ViewConfig(int i);
    // The page control's change: the dial-up page reads its entries when shown.
    void cxPCxzczChange();

    // Quick-switching (TFmainShortcuts.cpp).
    void NshortcutClick(); // "快捷方式" of the list's menu: the file on the desktop
    void cxCBshotcutPropertiesChange(); // the launcher on the desktop
    void RegisterQuickSwitchFileType();
    // Loads the configuration with that ID from the file into the fields,
    // selects adapter `cardId` (when it exists) and starts the switch as "应 用"
    // does; `source` names the request in messages.
    void switchToConfiguration(const std::string& id, int cardId, const std::string& source);

    void buildStatusPanels();
    void connectHandlers();
    void buildMenus();
    void buildTray(const QIcon& icon);

    void FormShow();
    void discoverAdapters(const std::string& defaultNetCard);
    void showStatus(const StatusView& view);
    // On the GUI thread, after the watcher's events.
    void linkValuesChanged();
    void rediscoverAdapters();
    // Marks the configurations equal to the values in force; `always` also
    // when those values have not changed since the last marks.
    void markInForce(bool always);
    void resetProbeDisplay();
    void BMDThread1Execute();
    void connectConfigList();
    // The list refresh: the table from the file, and the list rebuilt.
    void UpdateConfig();
    void runQuickSwitches();
    void openQuickSwitch(const std::string& path);
    void fillSwitchMenu();
    void connectDialUpPage();
    void showBalloon(const std::string& title, const std::string& text);
    void showDialFailure(const std::string& reason);
    void fillAndApplySkin();

    // The enable rules of the radio buttons and proxy boxes.
    void selectIpMode(bool useFixedIp);
    void selectDnsMode(bool useDns);
    void applyProxyRule();

    void cxCBSetAgentClick();
    void cxCBAdaptersChange(int index);
    void fitSkinList();
    void cxCBSkinChange(int index);
    void skinApplyMessage(int index);
    void aboutClick();
    void onTrayActivated(QSystemTrayIcon::ActivationReason reason);

    // The application's general error handler: a handler that meets an error
    // ends there and its text is shown.
    void guarded(const std::function<void()>& handler);

    TDM& m_dm;
    MainWindowContext m_ctx;
    std::unique_ptr<Ui::TFmain> m_ui;
    AdapterTable m_adapters;
    std::unique_ptr<StatusUpdater> m_status;
    QStringList m_quickSwitches;
    bool m_closing = false;
    bool m_keepFieldsOnce = false; // the next show keeps the fields
    bool m_trayRequested = false;

    QLineEdit* m_ip[3] = {};
    QLineEdit* m_mask[3] = {};
    QLineEdit* m_gateway[2] = {};
    QLineEdit* m_dns[4] = {};
    QLabel* m_panels[5] = {};
    QMenu* m_trayMenu = nullptr;
    QMenu* m_switchMenu = nullptr; // the tray's "切换到"
    bool m_shownOnce = false;
    std::string m_lastBalloon;
    QSystemTrayIcon* m_tray = nullptr;
    QTimer* m_timer1 = nullptr;
    TFabout* m_about = nullptr;

    // The watcher's events waiting for the GUI thread: link names ("" for
    // any), and whether the adapters changed.
    std::mutex m_linkMutex;
    std::set<std::string> m_changedLinks;
    std::atomic<bool> m_adaptersPending { false };
    // The adapter the user chose, while it is gone from the list.
    std::string m_goneAdapter;
    // The values in force the marks were made for.
    std::optional<TcpIpConfig> m_markedFor;
    // The stored configuration last loaded into the fields (its ID), and the
    // fields as it left them.
    struct Loaded {
        std::string id;
        TcpIpConfig fields;
    };
    std::optional<Loaded> m_loaded;

    SystemClock m_clock;
    // The network test, and a worker declared after it so it is destroyed
    // first, while everything its job touches still exists.
    std::unique_ptr<NetworkProbe> m_probe;
    std::unique_ptr<TBMDThread> m_bmdThread1;
    // The apply window goes first, waiting for a running switch while the
    // fields it reads still exist.
    std::unique_ptr<TFApply> m_apply;
};

} // namespace tarnwick::gui
