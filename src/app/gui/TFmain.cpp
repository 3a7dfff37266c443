#include "app/gui/TFmain.h"

#include "base/Settings.h"
#include "app/gui/Artwork.h"
#include "app/ConfigFileSearch.h"
#include "app/gui/ProbeIndicator.h"
#include "app/SkinCatalog.h"
#include "app/gui/StartupLog.h"
#include "app/gui/TDM.h"
#include "app/gui/TFabout.h"
#include "app/WindowRules.h"
#include "store/ConfigList.h"
#include "store/ConfigRecord.h"

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
#include <QTabWidget>
#include <QTimer>
#include <QWindowStateChangeEvent>

#include <exception>
#include <filesystem>

namespace tarnwick::gui
{

namespace
{

constexpr int kClientWidth = kWideOuterWidth - kFrameExtra;

QString q(const std::string& s)
{
    return QString::fromStdString(s);
}

QPushButton* button(
    QWidget* parent, const char* name, const QString& caption, int x, int y, int w = 57, int h = 23)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(x, y, w, h);
    return b;
}

QGroupBox* group(QWidget* parent, const char* name, const QString& caption, int x, int y, int w, int h)
{
    auto* g = new QGroupBox(caption, parent);
    g->setObjectName(QString::fromLatin1(name));
    g->setGeometry(x, y, w, h);
    return g;
}

QLabel* label(QWidget* parent, const QString& caption, int x, int y, int w = 70, int h = 20)
{
    auto* l = new QLabel(caption, parent);
    l->setGeometry(x, y, w, h);
    return l;
}

// A labelled 121-pixel address field.
QLineEdit* field(QWidget* parent, const char* name, const QString& caption, int labelX, int fieldX, int y)
{
    label(parent, caption, labelX, y, fieldX - labelX);
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setGeometry(fieldX, y, 121, 20);
    return e;
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
    , m_configFilePath(settings::kNoConfigFile)
{
    setObjectName(QStringLiteral("Fmain"));
    setWindowTitle(QStringLiteral("TarnwickV2.3"));
    // Drawn once: the entry point has already given the application its icon.
    const QIcon icon = QGuiApplication::windowIcon().isNull() ? appIcon() : QGuiApplication::windowIcon();
    setWindowIcon(icon);
    // Fixed single border: system menu and minimise only.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    buildLayout();
    buildMenus();
    buildTray(icon);

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(1000);
    connect(m_timer1, &QTimer::timeout, this, &TFmain::Timer1Timer);

    if (!m_ctx.icmp)
        m_systemIcmp = makeSystemIcmpNetwork();
    m_probe = std::make_unique<NetworkProbe>(m_ctx.icmp ? *m_ctx.icmp : *m_systemIcmp,
        m_ctx.ticks ? *m_ctx.ticks : m_systemTicks, m_ctx.snapshot, m_dm.dispatcher(), *this);
    m_bmdThread1 = std::make_unique<TBMDThread>(m_dm.dispatcher());
    m_bmdThread1->SetOnExecute([this](TBMDThread&) { BMDThread1Execute(); });
}

TFmain::~TFmain() = default;

// ---- Layout ---------------------------------------------------------------

void TFmain::buildLayout()
{
    setFixedSize(kClientWidth, kClientHeight);
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("central"));
    setCentralWidget(central);

    QGroupBox* configGroup = group(central, "cxGroupBox1", QStringLiteral("配置情况"), 0, 0, 120, 346);
    m_configList = named(new QListWidget(configGroup), "cxLVconfig");
    m_configList->setGeometry(3, 16, 114, 327);
    m_configList->setViewMode(QListView::IconMode);
    m_configList->setIconSize(QSize(32, 32));
    m_configList->setMovement(QListView::Static);
    m_configList->setResizeMode(QListView::Adjust);
    m_configList->setContextMenuPolicy(Qt::CustomContextMenu);

    m_pages = named(new QTabWidget(central), "cxPCxzcz");
    m_pages->setGeometry(121, 0, 596, 349);
    auto* ipPage = named(new QWidget, "cxTSipconfig");
    auto* dialPage = named(new QWidget, "cxTSbohao");
    m_pages->addTab(ipPage, QStringLiteral("IP配置"));
    m_pages->addTab(dialPage, QStringLiteral("拨 号"));
    m_pages->setCurrentIndex(0);
    buildIpPage(ipPage);
    buildDialPage(dialPage);
    // Page change to "拨 号" reloads the dial-up entries: joins with the dial-up page.

    buildLeftStrip(central);

    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("SB_IPStatus"));
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

void TFmain::buildIpPage(QWidget* page)
{
    button(page, "cxBSave", QStringLiteral("保 存"), 20, 8);
    button(page, "cxBApply", QStringLiteral("应 用"), 20, 37);
    button(page, "cxBRenamecfg", QStringLiteral("更 名"), 20, 66);
    button(page, "cxBDeletecfg", QStringLiteral("删 除"), 20, 95);
    // Save, apply, rename and delete join with the configuration store and
    // the apply window.

    QGroupBox* card = group(page, "cxGroupBox2", QStringLiteral("网卡参数"), 98, 2, 301, 313);
    label(card, QStringLiteral("适配器"), 8, 16, 60);
    button(card, "cxBNewcfg", QStringLiteral("刷 新"), 242, 12, 52, 22);
    m_adapterList = named(new QComboBox(card), "cxCBAdapters");
    m_adapterList->setGeometry(4, 38, 293, 21);
    m_adapterList->setEditable(false);
    connect(m_adapterList, &QComboBox::currentIndexChanged, this,
        [this](int index) { guarded([this, index] { cxCBAdaptersChange(index); }); });

    QGroupBox* tcpip = group(card, "cxGroupBox3", QStringLiteral("TCP/IP"), 4, 63, 293, 121);
    QPushButton* gj = button(tcpip, "cxBgj", QStringLiteral("高级>>"), 234, 14, 55, 21);
    connect(gj, &QPushButton::clicked, this, [this] { guarded([this] { cxBgjClick(); }); });
    m_rbDhcp = named(new QRadioButton(QStringLiteral("自动获得IP地址"), tcpip), "cxRBDHCP");
    m_rbDhcp->setGeometry(8, 16, 200, 18);
    m_rbUseIp = named(new QRadioButton(QStringLiteral("使用下面的IP地址"), tcpip), "cxRBUseIP");
    m_rbUseIp->setGeometry(8, 35, 200, 18);
    m_ip[0] = field(tcpip, "cxTEIP", QStringLiteral("IP地址"), 26, 150, 54);
    m_mask[0] = field(tcpip, "cxTEMask", QStringLiteral("子网掩码"), 26, 150, 76);
    m_gateway[0] = field(tcpip, "cxTEGateway", QStringLiteral("默认网关"), 26, 150, 98);

    QGroupBox* dns = group(card, "cxGroupBox4", QStringLiteral("DNS"), 4, 192, 293, 105);
    m_rbAutoDns = named(new QRadioButton(QStringLiteral("自动获得DNS服务器地址"), dns), "cxRBAutoDNS");
    m_rbAutoDns->setGeometry(8, 16, 220, 18);
    m_rbUseDns = named(new QRadioButton(QStringLiteral("使用下面DNS服务器地址"), dns), "cxRBUseDNS");
    m_rbUseDns->setGeometry(8, 35, 220, 18);
    m_dns[0] = field(dns, "cxTEDNSServer", QStringLiteral("首选DNS服务器"), 26, 150, 56);
    m_dns[1] = field(dns, "cxTEDNSServer2", QStringLiteral("备用DNS服务器"), 26, 150, 79);

    connect(m_rbDhcp, &QRadioButton::clicked, this, [this] { selectIpMode(false); });
    connect(m_rbUseIp, &QRadioButton::clicked, this, [this] { selectIpMode(true); });
    connect(m_rbAutoDns, &QRadioButton::clicked, this, [this] { selectDnsMode(false); });
    connect(m_rbUseDns, &QRadioButton::clicked, this, [this] { selectDnsMode(true); });

    // The advanced column, cut off by the narrow window.
    QGroupBox* proxy = group(page, "cxGroupBox5", QStringLiteral("IE代理服务器设置"), 402, 2, 185, 105);
    m_setAgent = named(new QCheckBox(QStringLiteral("启用该设置功能"), proxy), "cxCBSetAgent");
    m_setAgent->setGeometry(8, 16, 170, 18);
    m_useAgent = named(new QCheckBox(QStringLiteral("使用代理服务器"), proxy), "cxCBUseAgent");
    m_useAgent->setGeometry(8, 36, 170, 18);
    m_agentIp = field(proxy, "cxTEAgentIP", QStringLiteral("代理地址"), 6, 58, 57);
    m_agentPort = field(proxy, "cxTEAgentPort", QStringLiteral("代理端口"), 6, 58, 80);
    connect(m_setAgent, &QCheckBox::clicked, this, [this] { guarded([this] { cxCBSetAgentClick(); }); });
    connect(m_useAgent, &QCheckBox::clicked, this, [this] { applyProxyRule(); });

    QGroupBox* multi = group(page, "cxGroupBox6", QStringLiteral("多IP设置"), 402, 108, 185, 137);
    m_ip[1] = field(multi, "cxTEIP2", QStringLiteral("IP地址2"), 3, 59, 18);
    m_mask[1] = field(multi, "cxTEMask2", QStringLiteral("子网掩码2"), 3, 59, 41);
    m_ip[2] = field(multi, "cxTEIP3", QStringLiteral("IP地址3"), 3, 59, 64);
    m_mask[2] = field(multi, "cxTEMask3", QStringLiteral("子网掩码3"), 3, 59, 87);
    m_gateway[1] = field(multi, "cxTEGateway2", QStringLiteral("默认网关2"), 3, 59, 110);

    QGroupBox* moreDns = group(page, "cxGroupBox7", QStringLiteral("更多DNS设置"), 402, 247, 184, 68);
    m_dns[2] = field(moreDns, "cxTEDNSServer3", QStringLiteral("DNS3"), 6, 58, 18);
    m_dns[3] = field(moreDns, "cxTEDNSServer4", QStringLiteral("DNS4"), 6, 58, 42);
}

void TFmain::buildDialPage(QWidget* page)
{
    button(page, "cxBtj", QStringLiteral("添 加"), 20, 8);
    button(page, "cxBbc", QStringLiteral("保 存"), 20, 37);
    button(page, "cxBbohao", QStringLiteral("拨 号"), 20, 66);
    button(page, "cxBdk", QStringLiteral("断 开"), 20, 95);

    QGroupBox* overview = group(page, "cxGroupBox8", QStringLiteral("拨号情况"), 98, 2, 150, 313);
    auto* list = named(new QListWidget(overview), "cxLVbohao");
    list->setGeometry(4, 16, 142, 292);

    QGroupBox* info = group(page, "cxGroupBox9", QStringLiteral("拨号信息"), 250, 2, 230, 313);
    auto* name = field(info, "cxTEbhm", QStringLiteral("拨号名："), 8, 80, 24);
    name->setEnabled(false);
    field(info, "cxTEyhm", QStringLiteral("用户名："), 8, 80, 54);
    field(info, "cxTEmm", QStringLiteral("密 码："), 8, 80, 84);
    label(info, QStringLiteral("连接线路："), 8, 114);
    auto* line = named(new QComboBox(info), "cxCBljxl");
    line->setGeometry(80, 114, 140, 21);

    group(page, "cxGroupBox10", QStringLiteral("拨号操作"), 482, 66, 105, 120);
    // The page's handlers join with the dial-up page.
}

void TFmain::buildLeftStrip(QWidget* central)
{
    // On both pages, so it sits above the page control rather than on a page.
    m_shortcut = named(new QCheckBox(QStringLiteral("快捷方式"), central), "cxCBshotcut");
    m_shortcut->setGeometry(126, 150, 92, 16);
    // Its click joins with the quick-switch shortcuts.

    m_skinList = named(new QComboBox(central), "cxCBSkin");
    m_skinList->setGeometry(124, 166, 94, 20);
    m_skinList->setEditable(false);
    connect(m_skinList, &QComboBox::currentIndexChanged, this,
        [this](int index) { guarded([this, index] { cxCBSkinChange(index); }); });

    QGroupBox* test = group(central, "cxGroupBox11", QStringLiteral("网络测试"), 124, 187, 95, 105);
    QPushButton* testButton = button(test, "cxBtest", QStringLiteral("测 试"), 19, 18);
    testButton->setToolTip(QStringLiteral("测试一下网络情况"));
    connect(testButton, &QPushButton::clicked, this, [this] { guarded([this] { cxBtestClick(); }); });
    m_gateIndicator = named(new ProbeIndicator(test), "SP_TestGate");
    m_gateIndicator->setGeometry(6, 52, 12, 12);
    label(test, QStringLiteral("网关"), 21, 48, 28);
    m_gateResult = named(label(test, QStringLiteral("----"), 50, 48, 42), "cxLTestGate");
    m_dnsIndicator = named(new ProbeIndicator(test), "SP_TestDNS");
    m_dnsIndicator->setGeometry(6, 78, 12, 12);
    label(test, QStringLiteral("DNS"), 21, 74, 28);
    m_dnsResult = named(label(test, QStringLiteral("----"), 50, 74, 42), "cxLTestDNS");

    QPushButton* about = button(central, "cxBabout", QStringLiteral("关 于"), 144, 295);
    connect(about, &QPushButton::clicked, this, [this] { guarded([this] { aboutClick(); }); });
    QPushButton* exitButton = button(central, "cxBexit", QStringLiteral("退 出"), 144, 320);
    connect(exitButton, &QPushButton::clicked, this, &QWidget::close);

    for (QWidget* w : std::initializer_list<QWidget*> { m_shortcut, m_skinList, test, about, exitButton })
        w->raise();
}

void TFmain::buildMenus()
{
    m_configMenu = named(new QMenu(this), "PM_Config");
    const struct {
        const char* name;
        const char* text;
    } entries[] = {
        { "View1", "查看配置" },
        { nullptr, nullptr },
        { "N1", "更改配置" },
        { "Delete1", "删除配置" },
        { "N2", "调整图标" },
        { "Refresh1", "刷新配置" },
        { nullptr, nullptr },
        { "Moveup1", "上移配置" },
        { "Movedown1", "下移配置" },
        { nullptr, nullptr },
        { "Nshortcut", "快捷方式" },
    };
    for (const auto& e : entries) {
        if (!e.name) {
            m_configMenu->addSeparator();
            continue;
        }
        QAction* a = m_configMenu->addAction(QString::fromUtf8(e.text));
        a->setObjectName(QString::fromLatin1(e.name));
        if (std::string_view(e.name) == "Refresh1") // Refresh1Click
            connect(a, &QAction::triggered, this, [this] { guarded([this] { UpdateConfig(); }); });
    }
    // The other entries' handlers join with the configuration list operations
    // and the shortcuts.
    connect(m_configList, &QListWidget::customContextMenuRequested, this,
        [this](const QPoint& at) { m_configMenu->popup(m_configList->viewport()->mapToGlobal(at)); });
}

void TFmain::buildTray(const QIcon& icon)
{
    m_trayMenu = named(new QMenu(this), "PopupMenu1");
    m_trayMenu->setToolTipsVisible(true);
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

void TFmain::formCreate()
{
    // The list's two image sizes: 32 for large icons, 16 for small.
    guarded([this] {
        const settings::StartupSettings s = settings::readStartupSettings(m_ctx.registry);
        if (!s.error.empty()) {
            // A refused write ends the creation handler there; the window still opens.
            m_ctx.prompts.show(MessageSink::Kind::Error, s.error);
            return;
        }
        m_configFilePath = settleConfigFile(
            s.configFilePath, m_ctx.registry, m_ctx.prompts, realConfigFileOps(m_ctx.checkConfigFile));
        m_shortcut->setChecked(s.shortcutChecked);
        m_configList->setViewMode(s.largeIcons ? QListView::IconMode : QListView::ListMode);
        m_configList->setIconSize(s.largeIcons ? QSize(32, 32) : QSize(16, 16));
        if (s.narrowWindow)
            setFixedSize(kNarrowOuterWidth - kFrameExtra, kClientHeight);
        m_setAgent->setChecked(s.setAgentChecked);
        applyProxyRule();
        discoverAdapters(s.defaultNetCard);
        // Registering the quick-switch file type joins here with the shortcuts.
    });
}

void TFmain::discoverAdapters(const std::string& defaultNetCard)
{
    m_adapters = makeAdapterTable(m_ctx.adapters.discover());
    m_status = std::make_unique<StatusUpdater>(m_adapters, m_ctx.live, m_ctx.snapshot);
    QSignalBlocker block(m_adapterList);
    m_adapterList->clear();
    for (const std::string& line : m_adapters.listLines())
        m_adapterList->addItem(q(line));
    m_adapterList->setCurrentIndex(selectAdapter(defaultNetCard, m_adapters.count()));
}

void TFmain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // Restoring from a plain minimise is no new showing.
    if (!event->spontaneous())
        formShow();
}

void TFmain::formShow()
{
    if (m_closing)
        return;
    if (m_configFilePath == settings::kNoConfigFile) {
        // Closing inside the show handling would cut it short; close right after.
        m_closing = true;
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        emit formShown();
        return;
    }
    guarded([this] {
        if (m_status) {
            const StatusView v = m_status->updateStatusBar(m_adapterList->currentIndex(), true);
            showStatus(v);
        }
    });
    guarded([this] { UpdateConfig(); });
    m_timer1->start();
    resetProbeDisplay();
    guarded([this] { fillAndApplySkin(); });
    emit formShown();
}

void TFmain::Timer1Timer()
{
    guarded([this] {
        if (m_status)
            showStatus(m_status->updateStatusBar(m_adapterList->currentIndex(), false));
    });
}

void TFmain::showStatus(const StatusView& view)
{
    for (int i = 0; i < 5; ++i)
        m_panels[i]->setText(q(view.panels[static_cast<std::size_t>(i)]));
    if (view.hint)
        m_adapterList->setToolTip(q(*view.hint).replace(QLatin1Char('\r'), QLatin1Char('\n')));
    if (view.placeholders) {
        m_ip[0]->setText(q((*view.placeholders)[0]));
        m_mask[0]->setText(q((*view.placeholders)[1]));
        m_gateway[0]->setText(q((*view.placeholders)[2]));
    }
    if (view.fields) {
        const TcpIpConfig& f = *view.fields;
        for (std::size_t i = 0; i < 3; ++i) {
            m_ip[i]->setText(q(f.ip[i]));
            m_mask[i]->setText(q(f.mask[i]));
        }
        for (std::size_t i = 0; i < 2; ++i)
            m_gateway[i]->setText(q(f.gateway[i]));
        for (std::size_t i = 0; i < 4; ++i)
            m_dns[i]->setText(q(f.dns[i]));
        selectDnsMode(f.fixedDns);
        selectIpMode(f.fixedIp);
        m_useAgent->setChecked(f.proxyOn);
        m_agentIp->setText(q(f.proxyHost));
        m_agentPort->setText(q(f.proxyPort));
        applyProxyRule();
    }
}

void TFmain::resetProbeDisplay()
{
    m_gateIndicator->setColour(Qt::white);
    m_dnsIndicator->setColour(Qt::white);
    m_gateResult->setText(QStringLiteral("----"));
    m_dnsResult->setText(QStringLiteral("----"));
}

void TFmain::showIndicator(ProbeTarget target, const IndicatorState& state)
{
    const bool gate = target == ProbeTarget::Gateway;
    ProbeIndicator* circle = gate ? m_gateIndicator : m_dnsIndicator;
    QLabel* result = gate ? m_gateResult : m_dnsResult;
    result->setText(q(state.text));
    circle->setColour(QColor(state.colour.r, state.colour.g, state.colour.b));
    // The worker blocks for up to two seconds next: show the state now.
    result->repaint();
    circle->repaint();
}

void TFmain::cxBtestClick()
{
    m_bmdThread1->Start();
}

// On the worker thread; the window is reached only through the dispatcher.
void TFmain::BMDThread1Execute()
{
    m_probe->TestNetStatus();
}

// ---- Configuration list ---------------------------------------------------

void TFmain::UpdateConfig()
{
    std::optional<ConfigTable> table = refreshConfigTable(m_configFilePath, m_ctx.prompts, m_clock);
    if (!table)
        return;
    m_configTable = std::move(*table);
    UpdateList();
}

void TFmain::UpdateList()
{
    m_configList->clear();
    const QIcon icon = configIcon();
    for (std::size_t i = 0; i < m_configTable.count(); ++i)
        new QListWidgetItem(icon, q(recordCaption(m_configTable.records[i], i)), m_configList);
    m_configList->setCurrentRow(-1);
}

// ---- Control rules --------------------------------------------------------

void TFmain::selectIpMode(bool useFixedIp)
{
    (useFixedIp ? m_rbUseIp : m_rbDhcp)->setChecked(true);
    const AddressEnables e = addressEnables(useFixedIp);
    // The second gateway is left as it is by both buttons.
    for (QLineEdit* f : { m_ip[0], m_ip[1], m_ip[2], m_mask[0], m_mask[1], m_mask[2], m_gateway[0] })
        f->setEnabled(e.addressFields);
    m_rbAutoDns->setEnabled(e.autoDnsRadio);
    if (e.forceUseDns)
        selectDnsMode(true);
}

void TFmain::selectDnsMode(bool useDns)
{
    (useDns ? m_rbUseDns : m_rbAutoDns)->setChecked(true);
    for (QLineEdit* f : m_dns)
        f->setEnabled(useDns);
}

void TFmain::applyProxyRule()
{
    const ProxyEnables e = proxyEnables(m_setAgent->isChecked(), m_useAgent->isChecked());
    m_useAgent->setEnabled(e.useAgent);
    m_agentIp->setEnabled(e.fields);
    m_agentPort->setEnabled(e.fields);
}

void TFmain::cxCBSetAgentClick()
{
    applyProxyRule();
    settings::writeSetAgent(m_ctx.registry, m_setAgent->isChecked());
}

int TFmain::outerWidth() const
{
    return width() + kFrameExtra;
}

void TFmain::cxBgjClick()
{
    const WidthChange change = toggleWidth(outerWidth());
    setFixedSize(change.outerWidth - kFrameExtra, height());
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
        QSignalBlocker block(m_skinList);
        m_skinList->clear();
        for (const std::string& item : skinListItems(builtIn))
            m_skinList->addItem(q(item));
        // A name that is no item (edited by hand) leaves the list without a
        // selection; the plain look is drawn and the list stays usable.
        m_skinList->setCurrentIndex(m_skinList->findText(q(name)));
    }
    look.applyStoredName(q(name));
}

void TFmain::cxCBSkinChange(int index)
{
    const QString text = m_skinList->currentText().trimmed();
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
        look.applyByName(m_skinList->currentText());
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

void TFmain::quickSwitchRequested(const QString& path)
{
    // Switching to the file's configuration joins with the quick-switch files.
    m_quickSwitches << path;
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
