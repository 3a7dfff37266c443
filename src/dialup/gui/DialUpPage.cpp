#include "dialup/gui/DialUpPage.h"
#include "ui_DialUpPage.h"

#include "base/ServiceError.h"
#include "base/Settings.h"
#include "base/Text.h"
#include "dialup/TDialUp.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionComboBox>

#include <algorithm>
#include <system_error>
#include <vector>

namespace tarnwick
{

namespace
{

constexpr const char* kNoEntry = "配置信息不存在!";
constexpr const char* kSystemWarning = "系统警告";
constexpr const char* kNotice = "提示";

QString q(const std::string& s)
{
    return QString::fromStdString(s);
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

DialUpPage::DialUpPage(QWidget* parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::DialUpPage>())
{
    // Painted by the skin's style sheet as the plain widget it replaces was.
    setAttribute(Qt::WA_StyledBackground);
    m_ui->setupUi(this);
}

DialUpPage::~DialUpPage() = default;

void DialUpPage::attach(Parts parts)
{
    m_parts.emplace(std::move(parts));
    connectHandlers();
}

// Every handler of the page touches config.ini, the phone book or pppd:
// whatever it meets is reported here and never leaves the event handler.
void DialUpPage::guarded(const char* doing, const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        m_parts->messages.show(MessageSink::Kind::Error,
            std::string(doing) + "失败：" + whyFailed(e, m_parts->iniPath), kNotice);
    } catch (...) {
        m_parts->messages.show(MessageSink::Kind::Error, std::string(doing) + "失败：未知错误", kNotice);
    }
}

void DialUpPage::connectHandlers()
{
    Ui::DialUpPage& ui = *m_ui;
    connect(ui.cxLVbohao, &QListWidget::itemClicked, this,
        [this] { guarded("读取拨号配置", [this] { cxLVbohaoClick(); }); });
    connect(
        ui.cxBtj, &QPushButton::clicked, this, [this] { guarded("添加拨号配置", [this] { cxBtjClick(); }); });
    connect(
        ui.cxBbc, &QPushButton::clicked, this, [this] { guarded("保存拨号配置", [this] { cxBbcClick(); }); });
    connect(
        ui.cxBbohao, &QPushButton::clicked, this, [this] { guarded("拨号", [this] { cxBbohaoClick(); }); });
    connect(ui.cxBdk, &QPushButton::clicked, this, [this] { guarded("断开拨号", [this] { cxBdkClick(); }); });
    m_dialMenu = new QMenu(this);
    m_dialMenu->setObjectName(QStringLiteral("PMbohao"));
    QAction* remove = m_dialMenu->addAction(QStringLiteral("删 除"));
    remove->setObjectName(QStringLiteral("N5"));
    connect(remove, &QAction::triggered, this, [this] { guarded("删除拨号配置", [this] { N5Click(); }); });
    ui.cxLVbohao->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui.cxLVbohao, &QListWidget::customContextMenuRequested, this,
        [this](const QPoint& at) { m_dialMenu->popup(m_ui->cxLVbohao->viewport()->mapToGlobal(at)); });
    ui.cxTEbhm->setEnabled(false);
}

void DialUpPage::refresh()
{
    guarded("读取拨号配置", [this] { GetIniSec(); });
}

void DialUpPage::GetIniSec()
{
    // Every section but the program's own is listed, wherever it stands; a
    // file that cannot be read leaves the list as it was.
    const std::vector<std::string> entries = settings::dialUpEntries(m_parts->iniPath);
    m_ui->cxLVbohao->clear();
    for (const std::string& name : entries)
        m_ui->cxLVbohao->addItem(q(name));
    TDialUp& dial = m_parts->dial();
    QComboBox* lines = m_ui->cxCBljxl;
    lines->clear();
    int widest = 0;
    for (const std::string& line : dial.PossibleConnections()) {
        lines->addItem(q(line));
        lines->setItemData(lines->count() - 1, q(line), Qt::ToolTipRole);
        widest = std::max(widest, lines->view()->fontMetrics().horizontalAdvance(q(line)));
    }
    // The box is narrow: its list drops down wide enough for a long name.
    lines->view()->setMinimumWidth(widest + 2 * lines->view()->frameWidth()
        + lines->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 16);
    // An empty line list says why, where the line would be, shortened to
    // the box; the hint holds the whole reason.
    const QString reason = lines->count() == 0 ? q(dial.UnavailableReason()) : QString();
    QStyleOptionComboBox opt;
    opt.initFrom(lines);
    const int room = lines->style()
                         ->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, lines)
                         .width();
    lines->setPlaceholderText(lines->fontMetrics().elidedText(reason, Qt::ElideRight, room));
    lines->setToolTip(reason);
}

void DialUpPage::cxLVbohaoClick()
{
    const QList<QListWidgetItem*> chosen = m_ui->cxLVbohao->selectedItems();
    if (chosen.isEmpty())
        return;
    const QString name = chosen.first()->text();
    m_ui->cxTEbhm->setEnabled(false);
    m_ui->cxTEbhm->setText(name);
    std::error_code ec;
    if (!std::filesystem::exists(m_parts->iniPath, ec)) {
        m_parts->messages.show(MessageSink::Kind::Warning, kNoEntry, kSystemWarning);
        return;
    }
    const settings::DialUpCredentials c
        = settings::readDialUpCredentials(m_parts->iniPath, name.toStdString());
    m_ui->cxTEyhm->setText(q(c.user));
    m_ui->cxTEmm->setText(q(c.password));
}

void DialUpPage::cxBtjClick()
{
    m_ui->cxTEbhm->setEnabled(true);
    m_ui->cxTEbhm->clear();
    m_ui->cxTEyhm->clear();
    m_ui->cxTEmm->clear();
    m_ui->cxTEbhm->setFocus();
}

void DialUpPage::cxBbcClick()
{
    const std::string name = m_ui->cxTEbhm->text().toStdString();
    const settings::DialUpCredentials c { m_ui->cxTEyhm->text().toStdString(),
        m_ui->cxTEmm->text().toStdString() };
    std::error_code ec;
    if (name.empty() || c.user.empty() || c.password.empty()
        || !std::filesystem::exists(m_parts->iniPath, ec)) {
        m_parts->messages.show(MessageSink::Kind::Warning, kNoEntry, kSystemWarning);
        return;
    }
    settings::writeDialUpCredentials(m_parts->iniPath, name, c);
    GetIniSec();
    m_parts->messages.show(MessageSink::Kind::Plain, "配置信息保存成功!");
}

void DialUpPage::N5Click()
{
    const std::string name = m_ui->cxTEbhm->text().toStdString();
    if (name.empty())
        return;
    if (!m_parts->confirm("您真的要删除这个字节吗？", kNotice))
        return;
    settings::eraseDialUpEntry(m_parts->iniPath, name);
    GetIniSec();
    cxBtjClick();
}

void DialUpPage::cxBbohaoClick()
{
    // Only "断 开" enables it again, whatever happens here.
    m_ui->cxBbohao->setEnabled(false);
    const std::string user = trimBlanks(m_ui->cxTEyhm->text().toStdString());
    const std::string password = trimBlanks(m_ui->cxTEmm->text().toStdString());
    const std::string line = trimBlanks(m_ui->cxCBljxl->currentText().toStdString());
    MessageSink& messages = m_parts->messages;
    if (user.empty()) {
        messages.show(MessageSink::Kind::Plain, "请输入拨号的用户名!");
        m_ui->cxTEyhm->setFocus();
        return;
    }
    if (password.empty()) {
        messages.show(MessageSink::Kind::Plain, "请输入拨号的密码!");
        m_ui->cxTEmm->setFocus();
        return;
    }
    TDialUp& dial = m_parts->dial();
    if (line.empty()) {
        // No line because this user may not dial: say so, and who may.
        const std::string reason = m_ui->cxCBljxl->count() == 0 ? dial.UnavailableReason() : std::string();
        if (reason.empty())
            messages.show(MessageSink::Kind::Plain, "请选择连接线路!");
        else
            messages.show(MessageSink::Kind::Warning, reason, kNotice);
        m_ui->cxCBljxl->setFocus();
        return;
    }
    try {
        dial.Username = user;
        dial.Password = password;
        dial.ConnectTo = line;
        // Success only once the link is up, with its address; a failure with
        // the service's reason, also when it comes later from pppd.
        const QPointer<DialUpPage> self(this);
        dial.OnDialOutcome = [self](const TDialUp::DialOutcome& outcome) {
            if (!self)
                return;
            try {
                if (outcome.connected)
                    self->m_parts->notice(kNotice, "拨号成功!IP地址为:" + outcome.address);
                else
                    self->m_parts->dialFailed(outcome.text);
            } catch (...) {
                // Runs from the event loop: nothing may leave it.
            }
        };
        dial.HangUpAll();
        if (!dial.Dial() && !dial.RasInstalled())
            m_parts->dialFailed(dial.UnavailableReason());
    } catch (...) {
        messages.show(MessageSink::Kind::Error, "连接失败,请检查帐号密码和线路是否连接正确!", kNotice);
    }
}

void DialUpPage::cxBdkClick()
{
    m_ui->cxBbohao->setEnabled(true);
    // Success only when there was a connection (or a dial) to end.
    if (m_parts->dial().HangUpAll() > 0)
        m_parts->notice(kNotice, "断开拨号成功!");
    else
        m_parts->notice(kNotice, "当前没有拨号连接，无需断开。");
}

} // namespace tarnwick
