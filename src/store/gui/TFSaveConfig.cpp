#include "store/gui/TFSaveConfig.h"

#include "base/Text.h"
#include "store/ConfigRecord.h"
#include "store/ConfigSave.h"
#include "ui_TFSaveConfig.h"

#include <QShowEvent>

#include <exception>

namespace tarnwick
{

namespace
{

constexpr const char* kChooseOverwritten = "请先在“覆盖现有配置”中选择要覆盖的配置！";
constexpr const char* kFileChanged = "配置文件已被其他程序更改，未保存任何内容。配置列表已刷新，请重新选择。";

// Equal when only the case of Latin letters differs.
bool sameIgnoringLatinCase(const QString& a, const QString& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        const char16_t x = a[i].unicode(), y = b[i].unicode();
        const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
        if (lower(x) != lower(y))
            return false;
    }
    return true;
}

} // namespace

TFSaveConfig::TFSaveConfig(MessageSink& sink, const Clock& clock, QWidget* parent)
    : QDialog(parent)
    , m_sink(sink)
    , m_clock(clock)
    , m_ui(std::make_unique<Ui::TFSaveConfig>())
{
    m_ui->setupUi(this);
    // No title-bar buttons: the dialog is left through its two buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    connect(m_ui->cxRBnewconfig, &QRadioButton::clicked, this, &TFSaveConfig::cxRBnewconfigClick);
    connect(m_ui->cxRBoldconfig, &QRadioButton::clicked, this, &TFSaveConfig::cxRBoldconfigClick);
    connect(m_ui->cxBsave, &QPushButton::clicked, this, &TFSaveConfig::cxBsaveClick);
    connect(m_ui->cxBclose, &QPushButton::clicked, this, &TFSaveConfig::cxBcloseClick);
    connect(m_ui->cxCBoldconfig, &QComboBox::currentTextChanged, m_ui->cxCBoldconfig, &QWidget::setToolTip);
}

TFSaveConfig::~TFSaveConfig() = default;

void TFSaveConfig::prepare(
    std::string path, ConfigTable listed, TcpIpConfig fields, std::optional<QString> selectedCaption)
{
    m_path = std::move(path);
    m_listed = std::move(listed);
    m_fields = std::move(fields);
    m_selectedCaption = std::move(selectedCaption);
}

void TFSaveConfig::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TFSaveConfig::FormShow()
{
    m_ui->cxRBnewconfig->setChecked(true);
    m_ui->cxTEnewconfig->clear();
    cxRBnewconfigClick();
    m_ui->cxCBoldconfig->clear();
    for (std::size_t i = 0; i < m_listed.count(); ++i) {
        // The box is sized for a short name; a long one is seen whole in the hint.
        const QString caption = QString::fromStdString(recordCaption(m_listed.records[i], i));
        m_ui->cxCBoldconfig->addItem(caption);
        m_ui->cxCBoldconfig->setItemData(m_ui->cxCBoldconfig->count() - 1, caption, Qt::ToolTipRole);
    }
    int preselected = -1;
    if (m_selectedCaption) {
        for (int i = 0; i < m_ui->cxCBoldconfig->count() && preselected < 0; ++i) {
            if (sameIgnoringLatinCase(m_ui->cxCBoldconfig->itemText(i), *m_selectedCaption))
                preselected = i;
        }
    }
    m_ui->cxCBoldconfig->setCurrentIndex(preselected);
    m_ui->cxTEnewconfig->setFocus();
}

void TFSaveConfig::enableChoice(bool newConfig)
{
    m_ui->cxLnewconfig->setEnabled(newConfig);
    m_ui->cxTEnewconfig->setEnabled(newConfig);
    m_ui->cxLoldconfig->setEnabled(!newConfig);
    m_ui->cxCBoldconfig->setEnabled(!newConfig);
}

void TFSaveConfig::cxRBnewconfigClick()
{
    enableChoice(true);
}

void TFSaveConfig::cxRBoldconfigClick()
{
    enableChoice(false);
}

void TFSaveConfig::cxBsaveClick()
{
    const bool overwrite = m_ui->cxRBoldconfig->isChecked();
    std::optional<std::size_t> position;
    if (overwrite) {
        if (m_ui->cxCBoldconfig->currentIndex() < 0) {
            // Nothing chosen to overwrite: write nothing, let the user choose.
            m_sink.show(MessageSink::Kind::Warning, kChooseOverwritten);
            return;
        }
        position = static_cast<std::size_t>(m_ui->cxCBoldconfig->currentIndex());
    }
    const std::string name
        = (overwrite ? m_ui->cxCBoldconfig->currentText() : m_ui->cxTEnewconfig->text()).toStdString();
    m_refreshed.reset();
    const ThenRefresh then { m_clock, m_refreshed };
    SaveResult saved;
    try {
        saved = saveConfig(m_path, m_fields, name, position, m_listed, m_sink, &then);
    } catch (const std::exception& e) {
        // Nothing was written; the user may try again or cancel.
        m_sink.show(MessageSink::Kind::Error, e.what());
        return;
    }
    switch (saved.result) {
    case EditResult::Done:
    case EditResult::Unchanged:
        m_sink.show(MessageSink::Kind::Information, savedMessage(overwrite ? name : trimBlanks(name)));
        done(QDialog::Accepted);
        break;
    case EditResult::FileChanged:
        m_sink.show(MessageSink::Kind::Warning, kFileChanged);
        done(FileChanged);
        break;
    case EditResult::FileMissing:
        // Said so; the main window offers to write the list elsewhere.
        done(FileMissing);
        break;
    case EditResult::NotWritable:
        break; // said so; nothing written, the dialog stays open
    }
}

void TFSaveConfig::cxBcloseClick()
{
    done(QDialog::Rejected);
}

} // namespace tarnwick
