// The dial-up page: named credentials kept in config.ini, a line of the
// system's dial-up service, dial and hang up through DUbohao, the outcome as
// a balloon of the tray icon.
#include "app/gui/TFmain.h"

#include "app/gui/TDM.h"
#include "base/ServiceError.h"
#include "base/TIniFile.h"
#include "base/Text.h"
#include "ui_TFmain.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPushButton>

#include <filesystem>
#include <system_error>

namespace tarnwick::gui
{

namespace
{

constexpr const char* kNoEntry = "配置信息不存在!";
constexpr const char* kSystemWarning = "系统警告";
constexpr const char* kNotice = "提示";
constexpr int kBalloonMs = 10000;

QString q(const std::string& s)
{
    return QString::fromStdString(s);
}

// A section holding "Setting" in any case is the program's own, no entry.
bool isSettingsSection(const std::string& name)
{
    return QString::fromStdString(name).contains(QStringLiteral("setting"), Qt::CaseInsensitive);
}

// Why a handler of the page failed, in the user's words; the system's own
// detail (often English) follows in brackets.
std::string whyFailed(const std::exception& e, const std::filesystem::path& ini)
{
    if (const auto* service = dynamic_cast<const ServiceError*>(&e);
        service && service->kind() == ServiceError::Kind::ProfileWrite)
        return "无法写入配置文件 " + ini.string()
            + (service->detail().empty() ? std::string() : "（" + service->detail() + "）");
    if (const auto* system = dynamic_cast<const std::system_error*>(&e))
        return "系统错误（" + std::string(system->what()) + "）";
    return "内部错误（" + std::string(e.what()) + "）";
}

} // namespace

// Every handler of the page touches config.ini, the phone book or pppd:
// whatever it meets is reported here and never leaves the event handler.
void TFmain::dialPageGuarded(const char* doing, const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        m_ctx.prompts.show(
            MessageSink::Kind::Error, std::string(doing) + "失败：" + whyFailed(e, m_ctx.iniPath), kNotice);
    } catch (...) {
        m_ctx.prompts.show(MessageSink::Kind::Error, std::string(doing) + "失败：未知错误", kNotice);
    }
}

void TFmain::connectDialUpPage()
{
    Ui::TFmain& ui = *m_ui;
    connect(ui.cxPCxzcz, &QTabWidget::currentChanged, this,
        [this] { dialPageGuarded("读取拨号配置", [this] { cxPCxzczChange(); }); });
    connect(ui.cxLVbohao, &QListWidget::itemClicked, this,
        [this] { dialPageGuarded("读取拨号配置", [this] { cxLVbohaoClick(); }); });
    connect(ui.cxBtj, &QPushButton::clicked, this,
        [this] { dialPageGuarded("添加拨号配置", [this] { cxBtjClick(); }); });
    connect(ui.cxBbc, &QPushButton::clicked, this,
        [this] { dialPageGuarded("保存拨号配置", [this] { cxBbcClick(); }); });
    connect(ui.cxBbohao, &QPushButton::clicked, this,
        [this] { dialPageGuarded("拨号", [this] { cxBbohaoClick(); }); });
    connect(ui.cxBdk, &QPushButton::clicked, this,
        [this] { dialPageGuarded("断开拨号", [this] { cxBdkClick(); }); });
    m_dialMenu = new QMenu(this);
    m_dialMenu->setObjectName(QStringLiteral("PMbohao"));
    QAction* remove = m_dialMenu->addAction(QStringLiteral("删 除"));
    remove->setObjectName(QStringLiteral("N5"));
    connect(remove, &QAction::triggered, this,
        [this] { dialPageGuarded("删除拨号配置", [this] { N5Click(); }); });
    ui.cxLVbohao->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui.cxLVbohao, &QListWidget::customContextMenuRequested, this,
        [this](const QPoint& at) { m_dialMenu->popup(m_ui->cxLVbohao->viewport()->mapToGlobal(at)); });
    ui.cxTEbhm->setEnabled(false);
}

void TFmain::cxPCxzczChange()
{
    if (m_ui->cxPCxzcz->currentWidget() == m_ui->cxTSbohao)
        GetIniSec();
}

void TFmain::GetIniSec()
{
    const TIniFile ini(m_ctx.iniPath);
    m_ui->cxLVbohao->clear();
    // Every section but the program's own is listed, wherever it stands.
    for (const std::string& name : ini.ReadSections()) {
        if (!isSettingsSection(name))
            m_ui->cxLVbohao->addItem(q(name));
    }
    m_ui->cxCBljxl->clear();
    for (const std::string& line : m_dm.DUbohao().PossibleConnections())
        m_ui->cxCBljxl->addItem(q(line));
    // An empty line list says why, where the line would be.
    const QString reason = m_ui->cxCBljxl->count() == 0 ? q(m_dm.DUbohao().UnavailableReason()) : QString();
    m_ui->cxCBljxl->setPlaceholderText(reason);
    m_ui->cxCBljxl->setToolTip(reason);
}

void TFmain::cxLVbohaoClick()
{
    const QList<QListWidgetItem*> chosen = m_ui->cxLVbohao->selectedItems();
    if (chosen.isEmpty())
        return;
    const QString name = chosen.first()->text();
    m_ui->cxTEbhm->setEnabled(false);
    m_ui->cxTEbhm->setText(name);
    std::error_code ec;
    if (!std::filesystem::exists(m_ctx.iniPath, ec)) {
        m_ctx.prompts.show(MessageSink::Kind::Warning, kNoEntry, kSystemWarning);
        return;
    }
    const TIniFile ini(m_ctx.iniPath);
    m_ui->cxTEyhm->setText(q(ini.ReadString(name.toStdString(), "Syhm", "0")));
    m_ui->cxTEmm->setText(q(ini.ReadString(name.toStdString(), "Smm", "0")));
}

void TFmain::cxBtjClick()
{
    m_ui->cxTEbhm->setEnabled(true);
    m_ui->cxTEbhm->clear();
    m_ui->cxTEyhm->clear();
    m_ui->cxTEmm->clear();
    m_ui->cxTEbhm->setFocus();
}

void TFmain::cxBbcClick()
{
    const std::string name = m_ui->cxTEbhm->text().toStdString();
    const std::string user = m_ui->cxTEyhm->text().toStdString();
    const std::string password = m_ui->cxTEmm->text().toStdString();
    std::error_code ec;
    if (name.empty() || user.empty() || password.empty() || !std::filesystem::exists(m_ctx.iniPath, ec)) {
        m_ctx.prompts.show(MessageSink::Kind::Warning, kNoEntry, kSystemWarning);
        return;
    }
    TIniFile ini(m_ctx.iniPath);
    ini.WriteString(name, "Syhm", user);
    ini.WriteString(name, "Smm", password);
    GetIniSec();
    m_ctx.prompts.show(MessageSink::Kind::Plain, "配置信息保存成功!");
}

void TFmain::N5Click()
{
    const std::string name = m_ui->cxTEbhm->text().toStdString();
    if (name.empty())
        return;
    if (!m_ctx.prompts.confirm("您真的要删除这个字节吗？", UserPrompts::Answers::OkCancel, kNotice))
        return;
    TIniFile(m_ctx.iniPath).EraseSection(name);
    GetIniSec();
    cxBtjClick();
}

void TFmain::cxBbohaoClick()
{
    // Only "断 开" enables it again, whatever happens here.
    m_ui->cxBbohao->setEnabled(false);
    const std::string user = trimBlanks(m_ui->cxTEyhm->text().toStdString());
    const std::string password = trimBlanks(m_ui->cxTEmm->text().toStdString());
    const std::string line = trimBlanks(m_ui->cxCBljxl->currentText().toStdString());
    if (user.empty()) {
        m_ctx.prompts.show(MessageSink::Kind::Plain, "请输入拨号的用户名!");
        m_ui->cxTEyhm->setFocus();
        return;
    }
    if (password.empty()) {
        m_ctx.prompts.show(MessageSink::Kind::Plain, "请输入拨号的密码!");
        m_ui->cxTEmm->setFocus();
        return;
    }
    TDialUp& dial = m_dm.DUbohao();
    if (line.empty()) {
        // No line because this user may not dial: say so, and who may.
        const std::string reason = m_ui->cxCBljxl->count() == 0 ? dial.UnavailableReason() : std::string();
        if (reason.empty())
            m_ctx.prompts.show(MessageSink::Kind::Plain, "请选择连接线路!");
        else
            m_ctx.prompts.show(MessageSink::Kind::Warning, reason, kNotice);
        m_ui->cxCBljxl->setFocus();
        return;
    }
    try {
        dial.Username = user;
        dial.Password = password;
        dial.ConnectTo = line;
        // Success only once the link is up, with its address; a failure with
        // the service's reason, also when it comes later from pppd.
        const QPointer<TFmain> self(this);
        dial.OnDialOutcome = [self](const TDialUp::DialOutcome& outcome) {
            if (!self)
                return;
            try {
                if (outcome.connected)
                    self->showBalloon(kNotice, "拨号成功!IP地址为:" + outcome.address);
                else
                    self->showDialFailure(outcome.text);
            } catch (...) {
                // Runs from the event loop: nothing may leave it.
            }
        };
        dial.HangUpAll();
        if (!dial.Dial() && !dial.RasInstalled())
            showDialFailure(dial.UnavailableReason());
    } catch (...) {
        m_ctx.prompts.show(MessageSink::Kind::Error, "连接失败,请检查帐号密码和线路是否连接正确!", kNotice);
    }
}

void TFmain::cxBdkClick()
{
    m_ui->cxBbohao->setEnabled(true);
    // Success only when there was a connection (or a dial) to end.
    if (m_dm.DUbohao().HangUpAll() > 0)
        showBalloon(kNotice, "断开拨号成功!");
    else
        showBalloon(kNotice, "当前没有拨号连接，无需断开。");
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

} // namespace tarnwick::gui
