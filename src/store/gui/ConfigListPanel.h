#pragma once

#include "base/MessageSink.h"
#include "base/RegistryStore.h"
#include "base/TcpIpConfig.h"
#include "store/Clock.h"
#include "store/ConfigList.h"
#include "store/ConfigTable.h"

#include <QIcon>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QListWidgetItem;
class QMenu;
class QPushButton;

namespace Ui
{
class ConfigListPanel;
}

namespace tarnwick
{

class TFSaveConfig;

// The configuration list: its items, its menu and its operations (view,
// move, delete, rename, save, refresh). The file work is the store's; here
// are the triggers, the messages and what the list shows. The window it sits
// in owns the fields an entry is viewed in.
class ConfigListPanel : public QWidget
{
    Q_OBJECT
public:
    struct Parts {
        MessageSink& messages;
        std::function<bool(const std::string& question)> confirm; // Yes/No
        std::function<std::string()> askSaveFileName;
        RegistryStore& registry;
        const Clock& clock;
        QIcon itemIcon;
        // The fields "保 存" stores.
        std::function<TcpIpConfig()> fields;
        // Copies entry i of the table into the fields.
        std::function<void(int index)> view;
        // A click on an item shows the fields' page first.
        std::function<void()> showFieldsPage;
        // After the list was rebuilt from the table.
        std::function<void()> listChanged;
    };

    explicit ConfigListPanel(QWidget* parent = nullptr);
    ~ConfigListPanel() override;

    // Joins the panel with what it works with, and the buttons of the list
    // that sit beside the fields; once, before it is used.
    void attach(Parts parts, QPushButton* newButton, QPushButton* renameButton, QPushButton* deleteButton,
        QPushButton* saveButton);

    // The configuration file in use, "null" when none was chosen.
    const std::string& configFilePath() const { return m_configFilePath; }
    void setConfigFilePath(std::string path) { m_configFilePath = std::move(path); }
    const ConfigTable& configTable() const { return m_configTable; }
    // The selected row, -1 when none.
    int selectedConfig() const;
    QString captionAt(int row) const;
    void select(int row);
    void showLargeIcons(bool large);
    // Bold for the rows whose flag is set (the configurations in force);
    // rows past the flags are plain.
    void markRows(const std::vector<bool>& marked);
    // PM_Config, the list's menu.
    QMenu* menu() const { return m_menu; }
    TFSaveConfig* saveDialog() const { return m_saveConfig.get(); }

    // The list refresh: reloads the table from the configuration file and
    // rebuilds the list; the list keeps its items when the file is missing.
    void UpdateConfig();

protected:
    // The list's keys: Delete, F2 and Enter act as "删 除", "更 名" and a click.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void cxLVconfigClick();
    void cxLVconfigDblClick();
    void View1Click();
    void cxBNewcfgClick();
    void Moveup1Click();
    void Movedown1Click();
    void cxBDeletecfgClick();
    void cxBRenamecfgClick();
    void cxLVconfigEdited(QListWidgetItem* item);
    void N2Click();
    void cxBSaveClick(); // "保 存"

    void buildMenu();
    void connectHandlers(QPushButton* newButton, QPushButton* renameButton, QPushButton* deleteButton,
        QPushButton* saveButton);
    void UpdateList();
    // After an operation that found the file changed under the list.
    void fileChangedUnderList();
    // After an operation that found the file gone: offers to write the listed
    // configurations to a file the user chooses, and to go on with that one.
    void configFileGone();
    void moveSelected(MoveDirection direction);
    // After a move or delete: the table its refresh read, or the file changed.
    void showEdited(EditResult result, std::optional<ConfigTable>& refreshed);
    // A handler that meets an error ends there and its text is shown.
    void guarded(const std::function<void()>& handler);

    std::unique_ptr<Ui::ConfigListPanel> m_ui;
    std::optional<Parts> m_parts;
    QMenu* m_menu = nullptr;
    std::string m_configFilePath;
    ConfigTable m_configTable;
    std::unique_ptr<TFSaveConfig> m_saveConfig;
};

} // namespace tarnwick
