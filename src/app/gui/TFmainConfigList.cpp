// The main window's configuration list: viewing a configuration, the list's
// operations and the save dialog. The file work is the store's; here are the
// triggers, the messages and what the list shows.
#include "app/gui/TFmain.h"

#include "app/gui/Artwork.h"
#include "base/Settings.h"
#include "base/Text.h"
#include "store/ConfigList.h"
#include "store/ConfigRecord.h"
#include "store/gui/TFSaveConfig.h"
#include "ui_TFmain.h"

#include <QAction>
#include <QListWidget>
#include <QMenu>
#include <QScrollBar>

#include <exception>

namespace tarnwick::gui
{

namespace
{

QString q(const std::string& s)
{
    return QString::fromStdString(s);
}

constexpr const char* kSelectToMoveUp = "请先选中您想上移的配置！";
constexpr const char* kSelectToMoveDown = "请先选中您想下移的配置！";
constexpr const char* kSelectToView = "请先选中您想查看的配置！";
constexpr const char* kSelectToRename = "请先选中您想更名的配置!";
constexpr const char* kSelectToDelete = "请先选中您想删除的配置!";
constexpr const char* kFileChanged = "配置文件已被其他程序更改，未作任何更改。配置列表已刷新，请重新选择。";
constexpr const char* kOfferSaveElsewhere
    = "列表中的配置仍保留在本窗口中。是否将它们保存到您选择的文件，并从此使用该文件？";

// The caption an item had before an in-place edit.
constexpr int kShownCaption = Qt::UserRole + 1;

} // namespace

void TFmain::connectConfigList()
{
    QListWidget* list = m_ui->cxLVconfig;
    list->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    const auto on = [this](const char* action, void (TFmain::*handler)()) {
        QAction* a = m_configMenu->findChild<QAction*>(QString::fromLatin1(action));
        connect(a, &QAction::triggered, this,
            [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
    };
    on("View1", &TFmain::View1Click);
    on("N1", &TFmain::cxBRenamecfgClick);
    on("Delete1", &TFmain::cxBDeletecfgClick);
    on("N2", &TFmain::N2Click);
    on("Refresh1", &TFmain::UpdateConfig);
    on("Moveup1", &TFmain::Moveup1Click);
    on("Movedown1", &TFmain::Movedown1Click);
    on("Nshortcut", &TFmain::NshortcutClick);
    connect(list, &QListWidget::itemClicked, this, [this] { guarded([this] { cxLVconfigClick(); }); });
    connect(
        list, &QListWidget::itemDoubleClicked, this, [this] { guarded([this] { cxLVconfigDblClick(); }); });
    connect(list, &QListWidget::itemChanged, this,
        [this](QListWidgetItem* item) { guarded([this, item] { cxLVconfigEdited(item); }); });
    connect(m_ui->cxBNewcfg, &QPushButton::clicked, this, [this] { guarded([this] { cxBNewcfgClick(); }); });
    connect(m_ui->cxBRenamecfg, &QPushButton::clicked, this,
        [this] { guarded([this] { cxBRenamecfgClick(); }); });
    connect(m_ui->cxBDeletecfg, &QPushButton::clicked, this,
        [this] { guarded([this] { cxBDeletecfgClick(); }); });
    connect(m_ui->cxBSave, &QPushButton::clicked, this, [this] { guarded([this] { cxBSaveClick(); }); });
}

void TFmain::UpdateConfig()
{
    std::optional<ConfigTable> table = refreshConfigTable(m_configFilePath, m_ctx.prompts, m_clock);
    if (!table) {
        configFileGone();
        return;
    }
    m_configTable = std::move(*table);
    UpdateList();
}

void TFmain::UpdateList()
{
    QListWidget* list = m_ui->cxLVconfig;
    // Keep the user where they were: the rebuilt list scrolls back there.
    const int scrolled = list->verticalScrollBar()->value();
    const QSignalBlocker quiet(list);
    list->clear();
    const QIcon icon = configIcon();
    for (std::size_t i = 0; i < m_configTable.count(); ++i) {
        const QString caption = q(recordCaption(m_configTable.records[i], i));
        auto* item = new QListWidgetItem(icon, caption, list);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        item->setData(kShownCaption, caption);
    }
    list->setCurrentRow(-1);
    list->clearSelection();
    list->verticalScrollBar()->setValue(scrolled);
    fillSwitchMenu();
}

int TFmain::selectedConfig() const
{
    const QList<QListWidgetItem*> chosen = m_ui->cxLVconfig->selectedItems();
    return chosen.isEmpty() ? -1 : m_ui->cxLVconfig->row(chosen.first());
}

void TFmain::fileChangedUnderList()
{
    m_ctx.prompts.show(MessageSink::Kind::Warning, kFileChanged);
    UpdateConfig();
}

void TFmain::configFileGone()
{
    if (!m_ctx.prompts.confirm(kOfferSaveElsewhere))
        return;
    const std::string chosen = m_ctx.prompts.askSaveFileName();
    if (chosen.empty())
        return;
    writeConfigTableFile(chosen, m_configTable);
    settings::writeConfigFile(m_ctx.registry, chosen);
    m_configFilePath = chosen;
    UpdateConfig();
}

void TFmain::showEdited(EditResult result, std::optional<ConfigTable>& refreshed)
{
    if (result == EditResult::FileChanged) {
        fileChangedUnderList();
    } else if (result == EditResult::FileMissing) {
        configFileGone();
    } else if (refreshed) {
        m_configTable = std::move(*refreshed);
        UpdateList();
    }
}

void TFmain::ViewConfig(int i)
{
    const ConfigRecord& r = m_configTable.records.at(static_cast<std::size_t>(i));
    QLineEdit* const texts[] = { m_ip[0], m_ip[1], m_ip[2], m_mask[0], m_mask[1], m_mask[2], m_gateway[0],
        m_gateway[1], m_dns[0], m_dns[1], m_dns[2], m_dns[3], m_ui->cxTEAgentIP, m_ui->cxTEAgentPort };
    for (std::size_t k = 0; k < std::size(texts); ++k)
        texts[k]->setText(q(r[static_cast<ConfigField>(static_cast<std::size_t>(ConfigField::Ip1) + k)]));
    // Each as the user's click on it; a control whose state stays triggers nothing.
    if (const bool fixed = r[ConfigField::UseIp] == "1"; m_ui->cxRBUseIP->isChecked() != fixed)
        selectIpMode(fixed);
    if (const bool fixed = r[ConfigField::UseDns] == "1"; m_ui->cxRBUseDNS->isChecked() != fixed)
        selectDnsMode(fixed);
    if (const bool on = r[ConfigField::UseAgent] == "1"; m_ui->cxCBUseAgent->isChecked() != on) {
        m_ui->cxCBUseAgent->setChecked(on);
        applyProxyRule();
    }
    if (const bool on = r[ConfigField::SetAgent] == "1"; m_ui->cxCBSetAgent->isChecked() != on) {
        m_ui->cxCBSetAgent->setChecked(on);
        cxCBSetAgentClick();
    }
}

void TFmain::cxLVconfigClick()
{
    m_ui->cxPCxzcz->setCurrentWidget(m_ui->cxTSipconfig);
    if (const int i = selectedConfig(); i >= 0)
        ViewConfig(i);
}

void TFmain::cxLVconfigDblClick()
{
    if (const int i = selectedConfig(); i >= 0)
        ViewConfig(i);
}

void TFmain::cxBNewcfgClick()
{
    cxLVconfigDblClick();
}

void TFmain::View1Click()
{
    if (const int i = selectedConfig(); i >= 0)
        ViewConfig(i);
    else
        m_ctx.prompts.show(MessageSink::Kind::Plain, kSelectToView);
}

void TFmain::Moveup1Click()
{
    moveSelected(MoveDirection::Up);
}

void TFmain::Movedown1Click()
{
    moveSelected(MoveDirection::Down);
}

void TFmain::moveSelected(MoveDirection direction)
{
    const int i = selectedConfig();
    if (i < 0) {
        m_ctx.prompts.show(
            MessageSink::Kind::Plain, direction == MoveDirection::Up ? kSelectToMoveUp : kSelectToMoveDown);
        return;
    }
    std::optional<ConfigTable> refreshed;
    const ThenRefresh then { m_clock, refreshed };
    showEdited(moveConfig(m_configFilePath, m_configTable, static_cast<std::size_t>(i), direction,
                   m_ctx.prompts, &then),
        refreshed);
}

void TFmain::cxBDeletecfgClick()
{
    const int i = selectedConfig();
    if (i < 0) {
        m_ctx.prompts.show(MessageSink::Kind::Warning, kSelectToDelete);
        return;
    }
    const std::string caption = m_ui->cxLVconfig->item(i)->text().toStdString();
    if (!m_ctx.prompts.confirm("确实要删除\"" + caption + "\"这条配置吗?"))
        return;
    std::optional<ConfigTable> refreshed;
    const ThenRefresh then { m_clock, refreshed };
    showEdited(
        deleteConfig(m_configFilePath, m_configTable, static_cast<std::size_t>(i), m_ctx.prompts, &then),
        refreshed);
}

void TFmain::cxBRenamecfgClick()
{
    const int i = selectedConfig();
    if (i < 0) {
        m_ctx.prompts.show(MessageSink::Kind::Warning, kSelectToRename);
        return;
    }
    m_ui->cxLVconfig->editItem(m_ui->cxLVconfig->item(i));
}

void TFmain::cxLVconfigEdited(QListWidgetItem* item)
{
    const QSignalBlocker quiet(m_ui->cxLVconfig);
    const QString typed = item->text();
    if (trimBlanks(typed.toStdString()).empty()) {
        item->setText(item->data(kShownCaption).toString());
        return;
    }
    const QString before = item->data(kShownCaption).toString();
    item->setData(kShownCaption, typed);
    // No refresh: the table keeps the old name until the next one.
    EditResult r = EditResult::NotWritable;
    try {
        r = renameConfig(m_configFilePath, m_configTable,
            static_cast<std::size_t>(m_ui->cxLVconfig->row(item)), typed.toStdString(), m_ctx.prompts);
    } catch (const std::exception& e) {
        m_ctx.prompts.show(MessageSink::Kind::Error, e.what());
    }
    if (r == EditResult::FileChanged) {
        fileChangedUnderList();
    } else if (r == EditResult::NotWritable) {
        // The file keeps the old name: so does the list.
        item->setText(before);
        item->setData(kShownCaption, before);
    } else if (r == EditResult::FileMissing) {
        configFileGone();
    }
}

void TFmain::N2Click()
{
    const bool large = settings::toggleIconSize(m_ctx.registry);
    m_ui->cxLVconfig->setViewMode(large ? QListView::IconMode : QListView::ListMode);
    m_ui->cxLVconfig->setIconSize(large ? QSize(32, 32) : QSize(16, 16));
}

void TFmain::cxBSaveClick()
{
    if (!m_saveConfig)
        m_saveConfig = std::make_unique<TFSaveConfig>(m_ctx.prompts, m_clock, this);
    std::optional<QString> selected;
    if (const int i = selectedConfig(); i >= 0)
        selected = m_ui->cxLVconfig->item(i)->text();
    m_saveConfig->prepare(m_configFilePath, m_configTable, fields(), selected);
    const int scrolled = m_ui->cxLVconfig->verticalScrollBar()->value();
    const int result = m_saveConfig->exec();
    if (result == QDialog::Accepted && m_saveConfig->refreshedTable()) {
        m_configTable = *m_saveConfig->refreshedTable();
        UpdateList();
    } else if (result == QDialog::Accepted || result == TFSaveConfig::FileChanged) {
        UpdateConfig();
    } else if (result == TFSaveConfig::FileMissing) {
        configFileGone();
    }
    m_ui->cxLVconfig->verticalScrollBar()->setValue(scrolled);
}

} // namespace tarnwick::gui
