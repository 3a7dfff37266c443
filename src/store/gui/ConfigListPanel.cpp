#include "store/gui/ConfigListPanel.h"
#include "ui_ConfigListPanel.h"

#include "base/Settings.h"
#include "base/Text.h"
#include "store/ConfigRecord.h"
#include "store/gui/TFSaveConfig.h"

#include <QAction>
#include <QFont>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>

#include <exception>

namespace tarnwick
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

ConfigListPanel::ConfigListPanel(QWidget* parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::ConfigListPanel>())
    , m_configFilePath(settings::kNoConfigFile)
{
    // Painted by the skin's style sheet as the plain widget it replaces was.
    setAttribute(Qt::WA_StyledBackground);
    m_ui->setupUi(this);
    buildMenu();
}

ConfigListPanel::~ConfigListPanel() = default;

void ConfigListPanel::attach(Parts parts, QPushButton* newButton, QPushButton* renameButton,
    QPushButton* deleteButton, QPushButton* saveButton)
{
    m_parts.emplace(std::move(parts));
    connectHandlers(newButton, renameButton, deleteButton, saveButton);
}

void ConfigListPanel::buildMenu()
{
    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("PM_Config"));
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
            m_menu->addSeparator();
            continue;
        }
        QAction* a = m_menu->addAction(QString::fromUtf8(e.text));
        a->setObjectName(QString::fromLatin1(e.name));
    }
    // "快捷方式" joins with the window's quick-switch shortcuts.
    connect(m_ui->cxLVconfig, &QListWidget::customContextMenuRequested, this,
        [this](const QPoint& at) { m_menu->popup(m_ui->cxLVconfig->viewport()->mapToGlobal(at)); });
}

void ConfigListPanel::connectHandlers(
    QPushButton* newButton, QPushButton* renameButton, QPushButton* deleteButton, QPushButton* saveButton)
{
    QListWidget* list = m_ui->cxLVconfig;
    list->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    const auto on = [this](const char* action, void (ConfigListPanel::*handler)()) {
        QAction* a = m_menu->findChild<QAction*>(QString::fromLatin1(action));
        connect(a, &QAction::triggered, this,
            [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
    };
    on("View1", &ConfigListPanel::View1Click);
    on("N1", &ConfigListPanel::cxBRenamecfgClick);
    on("Delete1", &ConfigListPanel::cxBDeletecfgClick);
    on("N2", &ConfigListPanel::N2Click);
    on("Refresh1", &ConfigListPanel::UpdateConfig);
    on("Moveup1", &ConfigListPanel::Moveup1Click);
    on("Movedown1", &ConfigListPanel::Movedown1Click);
    connect(list, &QListWidget::itemClicked, this, [this] { guarded([this] { cxLVconfigClick(); }); });
    connect(
        list, &QListWidget::itemDoubleClicked, this, [this] { guarded([this] { cxLVconfigDblClick(); }); });
    connect(list, &QListWidget::itemChanged, this,
        [this](QListWidgetItem* item) { guarded([this, item] { cxLVconfigEdited(item); }); });
    connect(newButton, &QPushButton::clicked, this, [this] { guarded([this] { cxBNewcfgClick(); }); });
    connect(renameButton, &QPushButton::clicked, this, [this] { guarded([this] { cxBRenamecfgClick(); }); });
    connect(deleteButton, &QPushButton::clicked, this, [this] { guarded([this] { cxBDeletecfgClick(); }); });
    connect(saveButton, &QPushButton::clicked, this, [this] { guarded([this] { cxBSaveClick(); }); });
    // Only while the list itself has the focus: the rename editor and the
    // text fields keep their own Delete and Enter.
    list->installEventFilter(this);
}

bool ConfigListPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_ui->cxLVconfig || event->type() != QEvent::KeyPress || !m_parts)
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & ~Qt::KeypadModifier)
        return false;
    void (ConfigListPanel::*handler)() = nullptr;
    switch (key->key()) {
    case Qt::Key_Delete:
        handler = &ConfigListPanel::cxBDeletecfgClick;
        break;
    case Qt::Key_F2:
        handler = &ConfigListPanel::cxBRenamecfgClick;
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        handler = &ConfigListPanel::cxLVconfigClick;
        break;
    default:
        return false;
    }
    guarded([this, handler] { (this->*handler)(); });
    return true;
}

void ConfigListPanel::guarded(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        m_parts->messages.show(MessageSink::Kind::Error, e.what());
    }
}

int ConfigListPanel::selectedConfig() const
{
    const QList<QListWidgetItem*> chosen = m_ui->cxLVconfig->selectedItems();
    return chosen.isEmpty() ? -1 : m_ui->cxLVconfig->row(chosen.first());
}

QString ConfigListPanel::captionAt(int row) const
{
    const QListWidgetItem* item = m_ui->cxLVconfig->item(row);
    return item ? item->text() : QString();
}

void ConfigListPanel::select(int row)
{
    m_ui->cxLVconfig->setCurrentRow(row);
}

void ConfigListPanel::showLargeIcons(bool large)
{
    // The list's two image sizes: 32 for large icons, 16 for small.
    m_ui->cxLVconfig->setViewMode(large ? QListView::IconMode : QListView::ListMode);
    m_ui->cxLVconfig->setIconSize(large ? QSize(32, 32) : QSize(16, 16));
}

void ConfigListPanel::UpdateConfig()
{
    std::optional<ConfigTable> table
        = refreshConfigTable(m_configFilePath, m_parts->messages, m_parts->clock);
    if (!table) {
        configFileGone();
        return;
    }
    m_configTable = std::move(*table);
    UpdateList();
}

void ConfigListPanel::UpdateList()
{
    QListWidget* list = m_ui->cxLVconfig;
    // Keep the user where they were: the rebuilt list scrolls back there.
    const int scrolled = list->verticalScrollBar()->value();
    const QSignalBlocker quiet(list);
    list->clear();
    for (std::size_t i = 0; i < m_configTable.count(); ++i) {
        const QString caption = q(recordCaption(m_configTable.records[i], i));
        auto* item = new QListWidgetItem(m_parts->itemIcon, caption, list);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        item->setData(kShownCaption, caption);
        // The list is narrow: a long caption is elided there, whole in the hint.
        item->setToolTip(caption);
    }
    list->setCurrentRow(-1);
    list->clearSelection();
    list->verticalScrollBar()->setValue(scrolled);
    if (m_parts->listChanged)
        m_parts->listChanged();
}

void ConfigListPanel::markRows(const std::vector<bool>& marked)
{
    QListWidget* list = m_ui->cxLVconfig;
    // A font is item data too: unblocked, it would read as a rename.
    const QSignalBlocker quiet(list);
    for (int row = 0; row < list->count(); ++row) {
        QListWidgetItem* item = list->item(row);
        QFont font = item->font();
        font.setBold(static_cast<std::size_t>(row) < marked.size() && marked[static_cast<std::size_t>(row)]);
        item->setFont(font);
    }
}

void ConfigListPanel::fileChangedUnderList()
{
    m_parts->messages.show(MessageSink::Kind::Warning, kFileChanged);
    UpdateConfig();
}

void ConfigListPanel::configFileGone()
{
    if (!m_parts->confirm(kOfferSaveElsewhere))
        return;
    const std::string chosen = m_parts->askSaveFileName();
    if (chosen.empty())
        return;
    writeConfigTableFile(chosen, m_configTable);
    settings::writeConfigFile(m_parts->registry, chosen);
    m_configFilePath = chosen;
    UpdateConfig();
}

void ConfigListPanel::showEdited(EditResult result, std::optional<ConfigTable>& refreshed)
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

void ConfigListPanel::cxLVconfigClick()
{
    m_parts->showFieldsPage();
    if (const int i = selectedConfig(); i >= 0)
        m_parts->view(i);
}

void ConfigListPanel::cxLVconfigDblClick()
{
    if (const int i = selectedConfig(); i >= 0)
        m_parts->view(i);
}

void ConfigListPanel::cxBNewcfgClick()
{
    cxLVconfigDblClick();
}

void ConfigListPanel::View1Click()
{
    if (const int i = selectedConfig(); i >= 0)
        m_parts->view(i);
    else
        m_parts->messages.show(MessageSink::Kind::Plain, kSelectToView);
}

void ConfigListPanel::Moveup1Click()
{
    moveSelected(MoveDirection::Up);
}

void ConfigListPanel::Movedown1Click()
{
    moveSelected(MoveDirection::Down);
}

void ConfigListPanel::moveSelected(MoveDirection direction)
{
    const int i = selectedConfig();
    if (i < 0) {
        m_parts->messages.show(
            MessageSink::Kind::Plain, direction == MoveDirection::Up ? kSelectToMoveUp : kSelectToMoveDown);
        return;
    }
    std::optional<ConfigTable> refreshed;
    const ThenRefresh then { m_parts->clock, refreshed };
    showEdited(moveConfig(m_configFilePath, m_configTable, static_cast<std::size_t>(i), direction,
                   m_parts->messages, &then),
        refreshed);
}

void ConfigListPanel::cxBDeletecfgClick()
{
    const int i = selectedConfig();
    if (i < 0) {
        m_parts->messages.show(MessageSink::Kind::Warning, kSelectToDelete);
        return;
    }
    const std::string caption = m_ui->cxLVconfig->item(i)->text().toStdString();
    if (!m_parts->confirm("确实要删除\"" + caption + "\"这条配置吗?"))
        return;
    std::optional<ConfigTable> refreshed;
    const ThenRefresh then { m_parts->clock, refreshed };
    showEdited(
        deleteConfig(m_configFilePath, m_configTable, static_cast<std::size_t>(i), m_parts->messages, &then),
        refreshed);
}

void ConfigListPanel::cxBRenamecfgClick()
{
    const int i = selectedConfig();
    if (i < 0) {
        m_parts->messages.show(MessageSink::Kind::Warning, kSelectToRename);
        return;
    }
    m_ui->cxLVconfig->editItem(m_ui->cxLVconfig->item(i));
}

void ConfigListPanel::cxLVconfigEdited(QListWidgetItem* item)
{
    const QSignalBlocker quiet(m_ui->cxLVconfig);
    const QString typed = item->text();
    if (trimBlanks(typed.toStdString()).empty()) {
        item->setText(item->data(kShownCaption).toString());
        return;
    }
    const QString before = item->data(kShownCaption).toString();
    item->setData(kShownCaption, typed);
    item->setToolTip(typed);
    // No refresh: the table keeps the old name until the next one.
    EditResult r = EditResult::NotWritable;
    try {
        r = renameConfig(m_configFilePath, m_configTable,
            static_cast<std::size_t>(m_ui->cxLVconfig->row(item)), typed.toStdString(), m_parts->messages);
    } catch (const std::exception& e) {
        m_parts->messages.show(MessageSink::Kind::Error, e.what());
    }
    if (r == EditResult::FileChanged) {
        fileChangedUnderList();
    } else if (r == EditResult::NotWritable) {
        // The file keeps the old name: so does the list.
        item->setText(before);
        item->setData(kShownCaption, before);
        item->setToolTip(before);
    } else if (r == EditResult::FileMissing) {
        configFileGone();
    }
}

void ConfigListPanel::N2Click()
{
    showLargeIcons(settings::toggleIconSize(m_parts->registry));
}

void ConfigListPanel::cxBSaveClick()
{
    if (!m_saveConfig)
        m_saveConfig = std::make_unique<TFSaveConfig>(m_parts->messages, m_parts->clock, window());
    std::optional<QString> selected;
    if (const int i = selectedConfig(); i >= 0)
        selected = m_ui->cxLVconfig->item(i)->text();
    m_saveConfig->prepare(m_configFilePath, m_configTable, m_parts->fields(), selected);
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

} // namespace tarnwick
