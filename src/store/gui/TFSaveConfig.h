#pragma once

#include "base/MessageSink.h"
#include "base/TcpIpConfig.h"
#include "store/Clock.h"
#include "store/ConfigTable.h"

#include <QDialog>

#include <memory>
#include <optional>
#include <string>

namespace Ui
{
class TFSaveConfig;
}

namespace tarnwick
{

// "保存配置": the fields saved as a new configuration or over an existing
// one. Made once and kept; each showing starts afresh.
class TFSaveConfig : public QDialog
{
    Q_OBJECT

public:
    // Result of a run when the file changed under the list: nothing was
    // written, and the list must be refreshed all the same.
    static constexpr int FileChanged = 2;
    // Result of a run when the configuration file was gone: nothing written.
    static constexpr int FileMissing = 3;

    TFSaveConfig(MessageSink& sink, const Clock& clock, QWidget* parent = nullptr);
    ~TFSaveConfig() override;

    // What a showing saves and offers. `selectedCaption` is the main list's
    // selected item's caption, if any.
    void prepare(
        std::string path, ConfigTable listed, TcpIpConfig fields, std::optional<QString> selectedCaption);

    // After an OK result: the records as the refresh that followed the save
    // (in the same write) read them.
    const std::optional<ConfigTable>& refreshedTable() const { return m_refreshed; }

    // Handlers, public so tests reach them.
    void FormShow();
    void cxBsaveClick();
    void cxBcloseClick();
    void cxRBnewconfigClick();
    void cxRBoldconfigClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void enableChoice(bool newConfig);

    MessageSink& m_sink;
    const Clock& m_clock;
    std::optional<ConfigTable> m_refreshed;
    std::unique_ptr<Ui::TFSaveConfig> m_ui;
    std::string m_path;
    ConfigTable m_listed;
    TcpIpConfig m_fields;
    std::optional<QString> m_selectedCaption;
};

} // namespace tarnwick
