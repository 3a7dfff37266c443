// The dial-up page: named credentials kept in config.ini, a line of the
// system's dial-up service, dial and hang up through DUbohao, the outcome as
// a balloon of the tray icon.
#include "app/gui/TFmain.h"

#include "app/gui/TDM.h"
#include "base/TIniFile.h"
#include "base/Text.h"
#include "ui_TFmain.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>

#include <filesystem>

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

} // namespace

void TFmain::connectDialUpPage()
{
    Ui::TFmain& ui = *m_ui;
    connect(
        ui.cxPCxzcz, &QTabWidget::currentChanged, this, [this] { guarded([this] { cxPCxzczChange(); }); });
    connect(ui.cxLVbohao, &QListWidget::itemClicked, this, [this] { guarded([this] { cxLVbohaoClick(); }); });
    connect(ui.cxBtj, &QPushButton::clicked, this, [this] { guarded([this] { cxBtjClick(); }); });
    connect(ui.cxBbc, &QPushButton::clicked, this, [this] { guarded([this] { cxBbcClick(); }); });
    connect(ui.cxBbohao, &QPushButton::clicked, this, [this] { guarded([this] { cxBbohaoClick(); }); });
    connect(ui.cxBdk, &QPushButton::clicked, this, [this] { cxBdkClick(); });
    m_dialMenu = new QMenu(this);
    m_dialMenu->setObjectName(QStringLiteral("PMbohao"));
    QAction* remove = m_dialMenu->addAction(QStringLiteral("删 除"));
    remove->setObjectName(QStringLiteral("N5"));
    connect(remove, &QAction::triggered, this, [this] { guarded([this] { N5Click(); }); });
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
    if (line.empty()) {
        m_ctx.prompts.show(MessageSink::Kind::Plain, "请选择连接线路!");
        m_ui->cxCBljxl->setFocus();
        return;
    }
    try {
        TDialUp& dial = m_dm.DUbohao();
        dial.Username = user;
        dial.Password = password;
        dial.ConnectTo = line;
        dial.HangUpAll();
        if (dial.Dial())
            showBalloon(kNotice, "拨号成功!IP地址为:");
    } catch (const std::exception&) {
        m_ctx.prompts.show(MessageSink::Kind::Error, "连接失败,请检查帐号密码和线路是否连接正确!", kNotice);
    }
}

void TFmain::cxBdkClick()
{
    m_ui->cxBbohao->setEnabled(true);
    try {
        m_dm.DUbohao().HangUpAll();
        showBalloon(kNotice, "断开拨号成功!");
    } catch (const std::exception&) {
    }
}

void TFmain::showBalloon(const std::string& title, const std::string& text)
{
    m_lastBalloon = title + "|" + text;
    if (m_tray)
        m_tray->showMessage(q(title), q(text), QSystemTrayIcon::Information, kBalloonMs);
}

} // namespace tarnwick::gui
