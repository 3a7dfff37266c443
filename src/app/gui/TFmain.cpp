#include "app/gui/TFmain.h"
#include "ui_TFmain.h"

#include "app/ConfigFileSearch.h"
#include "app/SkinCatalog.h"
#include "app/WindowRules.h"
#include "app/gui/Artwork.h"
#include "app/gui/StartupLog.h"
#include "app/gui/TDM.h"
#include "app/gui/TFabout.h"
#include "apply/gui/ProbeIndicator.h"
#include "apply/gui/ProbeResult.h"
#include "apply/gui/TFApply.h"
#include "base/InForce.h"
#include "base/Settings.h"
#include "base/StorePaths.h"
#include "dialup/gui/DialUpPage.h"
#include "store/ConfigList.h"
#include "store/ConfigRecord.h"
#include "store/gui/ConfigListPanel.h"
#include "store/gui/TFSaveConfig.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QWindowStateChangeEvent>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <utility>

namespace tarnwick::gui
{

namespace
{

constexpr int kClientWidth = kWideOuterWidth - kFrameExtra;
constexpr const char* kNotice = "提示";
constexpr int kBalloonMs = 10000;

QString q(const std::string& s)
{
    return QString::fromStdString(s);
}

template <typename W> W* named(W* w, const char* name)
{
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

} // namespace

TFmain::TFmain(TDM& dm, MainWindowContext context, QWidget* parent)
    : QMainWindow(parent)
    , m_dm(dm)
    , m_ctx(std::move(context))
    , m_ui(std::make_unique<Ui::TFmain>())
{
    m_ui->setupUi(this);
    // Drawn once: the entry point has already given the application its icon.
    const QIcon icon = QGuiApplication::windowIcon().isNull() ? appIcon() : QGuiApplication::windowIcon();
    setWindowIcon(icon);
    // Fixed single border: system menu and minimise only.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);
    m_ip[0] = m_ui->cxTEIP;
    m_ip[1] = m_ui->cxTEIP2;
    m_ip[2] = m_ui->cxTEIP3;
    m_mask[0] = m_ui->cxTEMask;
    m_mask[1] = m_ui->cxTEMask2;
    m_mask[2] = m_ui->cxTEMask3;
    m_gateway[0] = m_ui->cxTEGateway;
    m_gateway[1] = m_ui->cxTEGateway2;
    m_dns[0] = m_ui->cxTEDNSServer;
    m_dns[1] = m_ui->cxTEDNSServer2;
    m_dns[2] = m_ui->cxTEDNSServer3;
    m_dns[3] = m_ui->cxTEDNSServer4;
    buildStatusPanels();
    connectHandlers();
    buildMenus();
    buildTray(icon);

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(1000);
    connect(m_timer1, &QTimer::timeout, this, &TFmain::Timer1Timer);

    m_probe
        = std::make_unique<NetworkProbe>(m_ctx.icmp, m_ctx.ticks, m_ctx.snapshot, m_dm.dispatcher(), *this);
    m_bmdThread1 = std::make_unique<TBMDThread>(m_dm.dispatcher());
    m_bmdThread1->SetOnExecute([this](TBMDThread&) { BMDThread1Execute(); });
}

TFmain::~TFmain() = default;

// ---- Layout (TFmain.ui) and handlers ---------------------------------------

void TFmain::buildStatusPanels()
{
    QStatusBar* bar = m_ui->SB_IPStatus;
    bar->setSizeGripEnabled(false);
    bar->setFixedHeight(20);
    // Laid out for the wide window and not squeezed: the narrow window cuts
    // the right part off (the date panel), as it does with the pages.
    auto* strip = new QWidget(bar);
    strip->setObjectName(QStringLiteral("SB_IPStatus_panels"));
    strip->setGeometry(0, 0, kClientWidth, 20);
    const int widths[5] = { 120, 120, 120, 200, kClientWidth - 560 - 8 };
    int x = 0;
    for (int i = 0; i < 5; ++i) {
        m_panels[i] = new QLabel(strip);
        m_panels[i]->setObjectName(QStringLiteral("SB_IPStatus_panel%1").arg(i));
        m_panels[i]->setGeometry(x, 1, widths[i], 18);
        m_panels[i]->setFrameShape(QFrame::Panel);
        m_panels[i]->setFrameShadow(QFrame::Sunken);
        x += widths[i] + 2;
    }
    m_panels[0]->setText(QStringLiteral("IP: "));
    m_panels[1]->setText(QStringLiteral("Mask: "));
    m_panels[2]->setText(QStringLiteral("Gate: "));
    m_panels[3]->setText(QStringLiteral("DNS: "));
}

void TFmain::connectHandlers()
{
    const Ui::TFmain& ui = *m_ui;
    connect(ui.cxCBAdapters, &QComboBox::currentIndexChanged, this,
        [this](int index) { guarded([this, index] { cxCBAdaptersChange(index); }); });
    connect(ui.cxBgj, &QPushButton::clicked, this, [this] { guarded([this] { cxBgjClick(); }); });
    connect(ui.cxRBDHCP, &QRadioButton::clicked, this, [this] { selectIpMode(false); });
    connect(ui.cxRBUseIP, &QRadioButton::clicked, this, [this] { selectIpMode(true); });
    connect(ui.cxRBAutoDNS, &QRadioButton::clicked, this, [this] { selectDnsMode(false); });
    connect(ui.cxRBUseDNS, &QRadioButton::clicked, this, [this] { selectDnsMode(true); });
    connect(ui.cxCBSetAgent, &QCheckBox::clicked, this, [this] { guarded([this] { cxCBSetAgentClick(); }); });
    connect(ui.cxCBUseAgent, &QCheckBox::clicked, this, [this] { applyProxyRule(); });
    connect(ui.cxCBSkin, &QComboBox::currentIndexChanged, this,
        [this](int index) { guarded([this, index] { cxCBSkinChange(index); }); });
    connect(ui.cxBtest, &QPushButton::clicked, this, [this] { guarded([this] { cxBtestClick(); }); });
    connect(ui.cxBabout, &QPushButton::clicked, this, [this] { guarded([this] { aboutClick(); }); });
    connect(ui.cxBexit, &QPushButton::clicked, this, &QWidget::close);
    connect(ui.cxBApply, &QPushButton::clicked, this, [this] { guarded([this] { cxBApplyClick(); }); });
    connect(ui.cxPCxzcz, &QTabWidget::currentChanged, this, [this] { cxPCxzczChange(); });
    // Also when the start-up sets the box from "shotcut".
    connect(ui.cxCBshotcut, &QCheckBox::toggled, this,
        [this] { guarded([this] { cxCBshotcutPropertiesChange(); }); });
    // Save, apply, rename and delete join with the configuration store and the
    // apply window; the shortcut box with the quick-switch shortcuts.
}

void TFmain::buildMenus()
{
    connectConfigList();
    connectDialUpPage();
}

void TFmain::connectConfigList()
{
    m_ui->configListPanel->attach(
        ConfigListPanel::Parts {
            m_ctx.prompts,
            [this](const std::string& question) { return m_ctx.prompts.confirm(question); },
            [this] { return m_ctx.prompts.askSaveFileName(); },
            m_ctx.registry,
            m_clock,
            configIcon(),
            [this] { return fields(); },
            [this](int i) { ViewConfig(i); },
            [this] { m_ui->cxPCxzcz->setCurrentWidget(m_ui->cxTSipconfig); },
            [this] {
                fillSwitchMenu();
                markInForce(true);
            },
        },
        m_ui->cxBNewcfg, m_ui->cxBRenamecfg, m_ui->cxBDeletecfg, m_ui->cxBSave);
    // "快捷方式" of the list's menu: the quick-switch file on the desktop.
    QAction* shortcut = m_ui->configListPanel->menu()->findChild<QAction*>(QStringLiteral("Nshortcut"));
    connect(shortcut, &QAction::triggered, this, [this] { guarded([this] { NshortcutClick(); }); });
}

const std::string& TFmain::configFilePath() const
{
    return m_ui->configListPanel->configFilePath();
}

const ConfigTable& TFmain::configTable() const
{
    return m_ui->configListPanel->configTable();
}

TFSaveConfig* TFmain::saveDialog() const
{
    return m_ui->configListPanel->saveDialog();
}

void TFmain::UpdateConfig()
{
    m_ui->configListPanel->UpdateConfig();
}

void TFmain::ViewConfig(int i)
{
    const ConfigRecord& record = configTable().records.at(static_cast<std::size_t>(i));
    setFields(configOf(record));
    m_loaded = Loaded { record[ConfigField::Id], fields() };
}

void TFmain::connectDialUpPage()
{
    m_ui->cxTSbohao->attach(DialUpPage::Parts {
        m_ctx.prompts,
        [this](const std::string& text, const std::string& title) {
            return m_ctx.prompts.confirm(text, UserPrompts::Answers::OkCancel, title);
        },
        [this]() -> TDialUp& { return m_dm.DUbohao(); },
        m_ctx.iniPath,
        [this](const std::string& title, const std::string& text) { showBalloon(title, text); },
        [this](const std::string& reason) { showDialFailure(reason); },
    });
}

void TFmain::cxPCxzczChange()
{
    // Whatever reading the entries meets, the page reports itself.
    if (m_ui->cxPCxzcz->currentWidget() == m_ui->cxTSbohao)
        m_ui->cxTSbohao->refresh();
}

void TFmain::showDialFailure(const std::string& reason)
{
    const std::string text = "拨号失败!" + reason;
    m_lastBalloon = std::string(kNotice) + "|" + text;
    // Without a notification area a balloon is never seen: a failure must be.
    if (m_tray && trayAvailable())
        m_tray->showMessage(q(kNotice), q(text), QSystemTrayIcon::Critical, kBalloonMs);
    else
        m_ctx.prompts.show(MessageSink::Kind::Error, text, kNotice);
}

void TFmain::showBalloon(const std::string& title, const std::string& text)
{
    m_lastBalloon = title + "|" + text;
    if (m_tray)
        m_tray->showMessage(q(title), q(text), QSystemTrayIcon::Information, kBalloonMs);
}

void TFmain::buildTray(const QIcon& icon)
{
    m_trayMenu = named(new QMenu(this), "PopupMenu1");
    m_trayMenu->setToolTipsVisible(true);
    // The configurations by caption, a choice switching as its file would.
    m_switchMenu = named(new QMenu(QStringLiteral("切换到"), m_trayMenu), "NSwitchTo");
    m_trayMenu->addMenu(m_switchMenu);
    m_trayMenu->addSeparator();
    const struct {
        const char* name;
        const char* text;
    } entries[] = { { "N3", "显示窗体" }, { "N4", "隐藏窗体" }, { "N6", "退出" } };
    QAction* actions[3];
    for (int i = 0; i < 3; ++i) {
        actions[i] = m_trayMenu->addAction(QString::fromUtf8(entries[i].text));
        actions[i]->setObjectName(QString::fromLatin1(entries[i].name));
        actions[i]->setToolTip(actions[i]->text());
    }
    connect(actions[0], &QAction::triggered, this, &TFmain::showFromTray);
    connect(actions[1], &QAction::triggered, this, &TFmain::hideToTray);
    connect(actions[2], &QAction::triggered, this, &QWidget::close);

    m_tray = new QSystemTrayIcon(icon, this);
    m_tray->setObjectName(QStringLiteral("TrayIcon1"));
    m_tray->setToolTip(QStringLiteral("Tarnwick"));
    m_tray->setContextMenu(m_trayMenu);
    connect(m_tray, &QSystemTrayIcon::activated, this, &TFmain::onTrayActivated);
    // Shown once the window has been painted (see event()).
}

bool TFmain::event(QEvent* event)
{
    // Joining the notification area costs several milliseconds on a desktop;
    // the icon follows right after the window's first paint instead of
    // delaying it.
    if (event->type() == QEvent::Paint && !m_trayRequested) {
        m_trayRequested = true;
        startupMark("first paint");
        QMetaObject::invokeMethod(m_tray, &QSystemTrayIcon::show, Qt::QueuedConnection);
    }
    return QMainWindow::event(event);
}

// ---- Start-up -------------------------------------------------------------

void TFmain::FormCreate()
{
    guarded([this] {
        const settings::StartupSettings s = settings::readStartupSettings(m_ctx.registry);
        if (!s.error.empty()) {
            // A refused write ends the creation handler there; the window still opens.
            m_ctx.prompts.show(MessageSink::Kind::Error, s.error);
            return;
        }
        const ConfigFileOps ops
            = realConfigFileOps([this](const std::string& p) { return m_ctx.checkConfigFile(p); });
        const std::string path = resolveConfigFile(s.configFilePath, m_ctx.settingsFolder);
        // A first start makes its file where the settings live, without
        // asking: there is nothing to look for yet. A stored name whose file
        // has gone is asked for, so a moved file is never replaced by an empty
        // list without a word.
        if (!m_ctx.settingsFolder.empty() && s.firstConfigFile && !ops.exists(path)) {
            try {
                makePrivateFolder(std::filesystem::path(path).parent_path());
                ops.createEmpty(path);
            } catch (const std::exception& e) {
                m_ctx.prompts.show(MessageSink::Kind::Error, e.what());
            }
        }
        m_ui->configListPanel->setConfigFilePath(settleConfigFile(path, m_ctx.registry, m_ctx.prompts, ops));
        m_ui->cxCBshotcut->setChecked(s.shortcutChecked);
        m_ui->configListPanel->showLargeIcons(s.largeIcons);
        if (s.narrowWindow)
            setOuterWidth(kNarrowOuterWidth);
        m_ui->cxCBSetAgent->setChecked(s.setAgentChecked);
        applyProxyRule();
        discoverAdapters(s.defaultNetCard);
        RegisterQuickSwitchFileType();
    });
}

void TFmain::discoverAdapters(const std::string& defaultNetCard)
{
    m_adapters = makeAdapterTable(m_ctx.adapters.discover());
    m_status = std::make_unique<StatusUpdater>(m_adapters, m_ctx.live, m_ctx.snapshot);
    QSignalBlocker block(m_ui->cxCBAdapters);
    m_ui->cxCBAdapters->clear();
    for (const std::string& line : m_adapters.listLines())
        m_ui->cxCBAdapters->addItem(q(line));
    m_ui->cxCBAdapters->setCurrentIndex(selectAdapter(defaultNetCard, m_adapters.count()));
}

void TFmain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // Restoring from a plain minimise is no new showing.
    if (!event->spontaneous())
        FormShow();
}

void TFmain::FormShow()
{
    if (m_closing)
        return;
    if (configFilePath() == settings::kNoConfigFile) {
        // Closing inside the show handling would cut it short; close right after.
        m_closing = true;
        m_ctx.prompts.show(MessageSink::Kind::Information, kNoConfigFileEnds);
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        emit formShown();
        return;
    }
    // Back from a switch that failed: the fields keep what the user typed, so
    // it can be corrected and tried again.
    const bool keepFields = std::exchange(m_keepFieldsOnce, false);
    guarded([this, keepFields] {
        if (m_status) {
            const StatusView v = m_status->updateStatusBar(m_ui->cxCBAdapters->currentIndex(), !keepFields);
            showStatus(v);
        }
    });
    guarded([this] { UpdateConfig(); });
    m_timer1->start();
    resetProbeDisplay();
    guarded([this] { fillAndApplySkin(); });
    if (!m_shownOnce) {
        m_shownOnce = true;
        if (!m_quickSwitches.isEmpty())
            QMetaObject::invokeMethod(this, &TFmain::runQuickSwitches, Qt::QueuedConnection);
    }
    emit formShown();
}

void TFmain::Timer1Timer()
{
    guarded([this] {
        if (m_status)
            showStatus(m_status->updateStatusBar(m_ui->cxCBAdapters->currentIndex(), false));
        markInForce(false);
    });
}

LinkWatcher::Handlers TFmain::linkHandlers()
{
    LinkWatcher::Handlers handlers;
    handlers.adaptersChanged = [this] {
        if (!m_adaptersPending.exchange(true))
            QMetaObject::invokeMethod(this, &TFmain::rediscoverAdapters, Qt::QueuedConnection);
    };
    handlers.valuesChanged = [this](const std::string& name) {
        bool first = false;
        {
            std::lock_guard lock(m_linkMutex);
            first = m_changedLinks.empty();
            m_changedLinks.insert(name);
        }
        if (first)
            QMetaObject::invokeMethod(this, &TFmain::linkValuesChanged, Qt::QueuedConnection);
    };
    return handlers;
}

void TFmain::linkValuesChanged()
{
    std::set<std::string> links;
    {
        std::lock_guard lock(m_linkMutex);
        links.swap(m_changedLinks);
    }
    const int selected = m_ui->cxCBAdapters->currentIndex();
    if (!m_status || !m_adapters.contains(selected)
        || (!links.contains(std::string()) && !links.contains(m_adapters.at(selected).connectionName)))
        return;
    guarded([this, selected] {
        // What the kernel just reported is shown at once, not as "Updating".
        showStatus(m_status->updateStatusBar(selected, false, true));
        markInForce(false);
    });
}

void TFmain::rediscoverAdapters()
{
    // Cleared first: an event during the discovery asks for another one.
    m_adaptersPending = false;
    guarded([this] {
        const int before = m_ui->cxCBAdapters->currentIndex();
        const bool hadAdapters = m_adapters.count() > 0;
        const std::string chosen
            = m_adapters.contains(before) ? m_adapters.at(before).connectionName : m_goneAdapter;
        // Assigned in place: the status refresh keeps a reference to the table.
        m_adapters = makeAdapterTable(m_ctx.adapters.discover());
        int now = -1;
        for (int i = 0; i < m_adapters.count() && now < 0 && !chosen.empty(); ++i) {
            if (m_adapters.at(i).connectionName == chosen)
                now = i;
        }
        if (!hadAdapters && chosen.empty())
            now = selectAdapter(
                settings::readValue(m_ctx.registry, settings::kDefaultNetCard), m_adapters.count());
        {
            QSignalBlocker block(m_ui->cxCBAdapters);
            m_ui->cxCBAdapters->clear();
            for (const std::string& line : m_adapters.listLines())
                m_ui->cxCBAdapters->addItem(q(line));
            m_ui->cxCBAdapters->setCurrentIndex(now);
        }
        // A chosen adapter that went stays chosen, without a line, until it
        // comes back or the user chooses another; the stored choice keeps
        // naming it meanwhile, and follows it to its new line.
        m_goneAdapter = now < 0 ? chosen : std::string();
        if (now >= 0 && m_status)
            m_status->adapterMoved(before, now);
        if (now >= 0 && now != before && !chosen.empty())
            settings::writeDefaultNetCard(m_ctx.registry, now);
        if (m_status)
            showStatus(m_status->updateStatusBar(now, false));
        markInForce(false);
    });
}

void TFmain::markInForce(bool always)
{
    // Without an adapter nothing is in force.
    std::optional<TcpIpConfig> now;
    if (m_adapters.contains(m_ui->cxCBAdapters->currentIndex()))
        now = m_ctx.snapshot.get().config;
    if (!always && now == m_markedFor)
        return;
    m_markedFor = now;
    const ConfigTable& table = configTable();
    std::vector<bool> marks(table.count(), false);
    for (std::size_t i = 0; now && i < table.count(); ++i)
        marks[i] = isInForce(configOf(table.records[i]), *now);
    m_ui->configListPanel->markRows(marks);
    const QList<QAction*> actions = m_switchMenu->actions();
    for (qsizetype i = 0; i < actions.size(); ++i) {
        const bool marked = static_cast<std::size_t>(i) < marks.size() && marks[static_cast<std::size_t>(i)];
        actions[i]->setCheckable(marked);
        actions[i]->setChecked(marked);
    }
}

void TFmain::showStatus(const StatusView& view)
{
    for (int i = 0; i < 5; ++i)
        m_panels[i]->setText(q(view.panels[static_cast<std::size_t>(i)]));
    if (view.hint)
        m_ui->cxCBAdapters->setToolTip(q(*view.hint).replace(QLatin1Char('\r'), QLatin1Char('\n')));
    if (view.placeholders) {
        m_ip[0]->setText(q((*view.placeholders)[0]));
        m_mask[0]->setText(q((*view.placeholders)[1]));
        m_gateway[0]->setText(q((*view.placeholders)[2]));
    }
    if (view.fields) {
        // Whether the proxy takes part is the user's setting, not the adapter's.
        TcpIpConfig f = *view.fields;
        f.proxyTakesPart = m_ui->cxCBSetAgent->isChecked();
        setFields(f);
    }
}

void TFmain::resetProbeDisplay()
{
    ProbeResult(*m_ui->SP_TestGate, *m_ui->cxLTestGate).reset();
    ProbeResult(*m_ui->SP_TestDNS, *m_ui->cxLTestDNS).reset();
}

void TFmain::showIndicator(ProbeTarget target, const IndicatorState& state)
{
    const bool gate = target == ProbeTarget::Gateway;
    ProbeResult(gate ? *m_ui->SP_TestGate : *m_ui->SP_TestDNS, gate ? *m_ui->cxLTestGate : *m_ui->cxLTestDNS)
        .show(state);
}

void TFmain::cxBtestClick()
{
    m_bmdThread1->Start();
}

// ---- Apply -----------------------------------------------------------------

void TFmain::cxBApplyClick()
{
    // Nothing runs without an adapter to switch, or for a name that no
    // command line can carry safely.
    if (const auto refusal = refuseConnection(connectionName())) {
        m_ctx.prompts.show(MessageSink::Kind::Warning, *refusal);
        return;
    }
    if (!m_apply) {
        m_apply = std::make_unique<TFApply>(TFApply::Parts { *this, m_ctx.snapshot, m_dm.dispatcher(),
            m_ctx.runner, m_ctx.proxy, m_ctx.icmp, m_ctx.ticks, this,
            [this] {
                m_keepFieldsOnce = m_apply && !m_apply->running() && m_apply->lastOutcome()
                    && *m_apply->lastOutcome() != ApplySequence::Outcome::Done;
                show();
            },
            [this] { close(); },
            [this](const std::string& name) {
                for (int i = 0; i < m_adapters.count(); ++i) {
                    if (m_adapters.at(i).connectionName == name)
                        return m_ctx.live.readInterface(m_adapters.at(i));
                }
                return InterfaceReading {};
            } });
        m_apply->setWindowIcon(windowIcon());
    }
    m_apply->show();
    hide();
    m_apply->ApplyConfig();
}

std::string TFmain::connectionName()
{
    const int index = m_ui->cxCBAdapters->currentIndex();
    return m_adapters.contains(index) ? m_adapters.at(index).connectionName : std::string();
}

std::string TFmain::configurationName()
{
    // Edited after loading, the fields are no stored configuration any more;
    // the caption is the one it has now (renamed meanwhile, deleted: none).
    if (!m_loaded || fields() != m_loaded->fields)
        return {};
    const ConfigTable& table = configTable();
    for (std::size_t i = 0; i < table.count(); ++i) {
        if (table.records[i][ConfigField::Id] == m_loaded->id)
            return recordCaption(table.records[i], i);
    }
    return {};
}

TcpIpConfig TFmain::fields()
{
    TcpIpConfig f;
    for (std::size_t i = 0; i < 3; ++i) {
        f.ip[i] = m_ip[i]->text().toStdString();
        f.mask[i] = m_mask[i]->text().toStdString();
    }
    for (std::size_t i = 0; i < 2; ++i)
        f.gateway[i] = m_gateway[i]->text().toStdString();
    for (std::size_t i = 0; i < 4; ++i)
        f.dns[i] = m_dns[i]->text().toStdString();
    f.proxyHost = m_ui->cxTEAgentIP->text().toStdString();
    f.proxyPort = m_ui->cxTEAgentPort->text().toStdString();
    f.fixedIp = m_ui->cxRBUseIP->isChecked();
    f.fixedDns = m_ui->cxRBUseDNS->isChecked();
    f.proxyOn = m_ui->cxCBUseAgent->isChecked();
    f.proxyTakesPart = m_ui->cxCBSetAgent->isChecked();
    return f;
}

void TFmain::setFields(const TcpIpConfig& f)
{
    for (std::size_t i = 0; i < 3; ++i) {
        m_ip[i]->setText(q(f.ip[i]));
        m_mask[i]->setText(q(f.mask[i]));
    }
    for (std::size_t i = 0; i < 2; ++i)
        m_gateway[i]->setText(q(f.gateway[i]));
    for (std::size_t i = 0; i < 4; ++i)
        m_dns[i]->setText(q(f.dns[i]));
    m_ui->cxTEAgentIP->setText(q(f.proxyHost));
    m_ui->cxTEAgentPort->setText(q(f.proxyPort));
    // Each switch as the user's click on it. The radio buttons bring their
    // fields' enables along even when they stay; a box whose state stays
    // triggers nothing (the proxy box would store the setting again).
    selectIpMode(f.fixedIp);
    selectDnsMode(f.fixedDns);
    m_ui->cxCBUseAgent->setChecked(f.proxyOn);
    applyProxyRule();
    if (m_ui->cxCBSetAgent->isChecked() != f.proxyTakesPart) {
        m_ui->cxCBSetAgent->setChecked(f.proxyTakesPart);
        cxCBSetAgentClick();
    }
}

// On the worker thread; the window is reached only through the dispatcher.
void TFmain::BMDThread1Execute()
{
    m_probe->TestNetStatus();
}

// ---- Control rules --------------------------------------------------------

void TFmain::selectIpMode(bool useFixedIp)
{
    (useFixedIp ? m_ui->cxRBUseIP : m_ui->cxRBDHCP)->setChecked(true);
    const AddressEnables e = addressEnables(useFixedIp);
    // The second gateway is left as it is by both buttons.
    for (QLineEdit* f : { m_ip[0], m_ip[1], m_ip[2], m_mask[0], m_mask[1], m_mask[2], m_gateway[0] })
        f->setEnabled(e.addressFields);
    m_ui->cxRBAutoDNS->setEnabled(e.autoDnsRadio);
    if (e.forceUseDns)
        selectDnsMode(true);
}

void TFmain::selectDnsMode(bool useDns)
{
    (useDns ? m_ui->cxRBUseDNS : m_ui->cxRBAutoDNS)->setChecked(true);
    for (QLineEdit* f : m_dns)
        f->setEnabled(useDns);
}

void TFmain::applyProxyRule()
{
    const ProxyEnables e = proxyEnables(m_ui->cxCBSetAgent->isChecked(), m_ui->cxCBUseAgent->isChecked());
    m_ui->cxCBUseAgent->setEnabled(e.useAgent);
    m_ui->cxTEAgentIP->setEnabled(e.fields);
    m_ui->cxTEAgentPort->setEnabled(e.fields);
}

void TFmain::cxCBSetAgentClick()
{
    applyProxyRule();
    settings::writeSetAgent(m_ctx.registry, m_ui->cxCBSetAgent->isChecked());
}

int TFmain::outerWidth() const
{
    return width() + kFrameExtra;
}

void TFmain::setOuterWidth(int outer)
{
    setFixedSize(outer - kFrameExtra, kClientHeight);
    // The narrow window would show a sliver of the advanced groups' left
    // borders at its right edge: they go with the width.
    for (QWidget* g : { m_ui->cxGroupBox5, m_ui->cxGroupBox6, m_ui->cxGroupBox7 })
        g->setVisible(outer > kNarrowOuterWidth);
}

void TFmain::cxBgjClick()
{
    const WidthChange change = toggleWidth(outerWidth());
    setOuterWidth(change.outerWidth);
    settings::writeAdvanced(m_ctx.registry, change.advanced);
}

void TFmain::cxCBAdaptersChange(int index)
{
    // The refresh sees the new adapter on its next tick.
    if (index >= 0)
        settings::writeDefaultNetCard(m_ctx.registry, index);
}

// ---- Skins ----------------------------------------------------------------

void TFmain::fillAndApplySkin()
{
    std::string name;
    std::error_code ec;
    if (std::filesystem::exists(m_ctx.iniPath, ec))
        name = settings::readSkin(m_ctx.iniPath);
    else
        m_ctx.prompts.show(MessageSink::Kind::Warning, "配置信息不存在!", "系统警告");

    LookController& look = m_dm.look();
    std::vector<std::string> builtIn;
    for (const QString& n : look.builtInSkinNames())
        builtIn.push_back(n.toStdString());
    {
        QSignalBlocker block(m_ui->cxCBSkin);
        m_ui->cxCBSkin->clear();
        for (const std::string& item : skinListItems(builtIn))
            m_ui->cxCBSkin->addItem(q(item));
        // A name that is no item (edited by hand) leaves the list without a
        // selection; the plain look is drawn and the list stays usable.
        m_ui->cxCBSkin->setCurrentIndex(m_ui->cxCBSkin->findText(q(name)));
    }
    fitSkinList();
    look.applyStoredName(q(name));
}

// The box is narrower than the longer names: its list drops down wide enough
// for every one, and the box's hint names the one chosen.
void TFmain::fitSkinList()
{
    QComboBox* list = m_ui->cxCBSkin;
    int widest = 0;
    for (int i = 0; i < list->count(); ++i)
        widest = std::max(widest, list->view()->fontMetrics().horizontalAdvance(list->itemText(i)));
    const int margins
        = 2 * list->view()->frameWidth() + list->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 16;
    list->view()->setMinimumWidth(widest + margins);
    list->setToolTip(list->currentText());
}

void TFmain::cxCBSkinChange(int index)
{
    m_ui->cxCBSkin->setToolTip(m_ui->cxCBSkin->currentText());
    const QString text = m_ui->cxCBSkin->currentText().trimmed();
    settings::writeSkin(m_ctx.iniPath, text.toStdString());
    // Applied once this change has been handled, when the posted message arrives.
    if (index >= 0)
        QMetaObject::invokeMethod(
            this, [this, index] { skinApplyMessage(index); }, Qt::QueuedConnection);
}

void TFmain::skinApplyMessage(int index)
{
    LookController& look = m_dm.look();
    switch (index) {
    case 0:
        look.applyKind(LookKind::Standard);
        break;
    case 1:
        look.applyKind(LookKind::Flat);
        break;
    case 2:
        look.applyKind(LookKind::UltraFlat);
        break;
    default:
        look.applyByName(m_ui->cxCBSkin->currentText());
        break;
    }
}

// ---- About, tray, quick switch ------------------------------------------------

void TFmain::aboutClick()
{
    if (!m_about)
        m_about = new TFabout(this);
    m_about->exec();
}

bool TFmain::trayAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TFmain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // Without a notification area the window is minimised normally, so it
    // never ends up out of reach.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && trayAvailable())
        QMetaObject::invokeMethod(this, &TFmain::hideToTray, Qt::QueuedConnection);
}

void TFmain::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
    // Closing the main window ends the program, also when it was hidden in
    // the notification area (the tray menu's "退出"), which Qt would not
    // count as the last window closing.
    if (event->isAccepted())
        QCoreApplication::quit();
}

void TFmain::showFromTray()
{
    showNormal();
    raise();
    activateWindow();
}

void TFmain::raiseRequested()
{
    // Before the first showing the start-up is still under way (or asking
    // for the configuration file) and shows the window itself.
    if (!m_shownOnce)
        return;
    // While a switch runs, its window stands in for this one.
    if (m_apply && m_apply->isVisible()) {
        m_apply->setWindowState(m_apply->windowState() & ~Qt::WindowMinimized);
        m_apply->raise();
        m_apply->activateWindow();
        return;
    }
    showFromTray();
}

void TFmain::hideToTray()
{
    hide();
}

void TFmain::onTrayActivated(QSystemTrayIcon::ActivationReason reason)
{
    // A left click opens the same menu as a right click.
    if (reason == QSystemTrayIcon::Trigger)
        m_trayMenu->popup(QCursor::pos());
}

void TFmain::guarded(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        m_ctx.prompts.show(MessageSink::Kind::Error, e.what());
    }
}

} // namespace tarnwick::gui
