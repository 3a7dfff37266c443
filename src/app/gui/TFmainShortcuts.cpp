// The main window's quick-switch side: exporting a configuration to the
// desktop, the program's launcher there, the file type, and switching to a
// configuration named by an opened quick-switch file or the tray's menu.
#include "app/gui/TFmain.h"

#include "app/gui/Artwork.h"
#include "apply/gui/TFApply.h"
#include "base/Settings.h"
#include "shortcuts/DesktopFiles.h"
#include "shortcuts/QuickSwitchFile.h"
#include "store/ConfigRecord.h"
#include "store/gui/ConfigListPanel.h"
#include "ui_TFmain.h"

#include <QAction>
#include <QCoreApplication>
#include <QListWidget>
#include <QMenu>

namespace tarnwick::gui
{

namespace
{

constexpr const char* kSelectToExport = "请选择您要导出到桌面快捷方式的历史配置。";
constexpr const char* kExported
    = "该配置的快捷方式已经保存到桌面，您可以通过双击该快捷方式来快速切换IP配置。";
constexpr const char* kNoDesktop = "注册表路径未找到";
constexpr const char* kNoSuchFile = "文件不存在";
constexpr const char* kSwitchRunning = "正在切换IP配置，请等这次切换结束后再试。";

std::string executablePath()
{
    return QCoreApplication::applicationFilePath().toStdString();
}

} // namespace

void TFmain::NshortcutClick()
{
    const ConfigListPanel& list = *m_ui->configListPanel;
    const int i = list.selectedConfig();
    if (i < 0) {
        m_ctx.prompts.show(MessageSink::Kind::Information, kSelectToExport);
        return;
    }
    const std::optional<std::filesystem::path> desktop = currentDesktopPaths().desktop;
    if (!desktop) {
        m_ctx.prompts.show(MessageSink::Kind::Error, "找不到桌面文件夹（没有主文件夹），快捷方式未保存。");
        return;
    }
    const std::string caption = list.captionAt(i).toStdString();
    if (const std::string why = whyNoFileName(caption); !why.empty()) {
        m_ctx.prompts.show(
            MessageSink::Kind::Error, "配置“" + caption + "”的快捷方式无法保存：" + why + "。请先更名。");
        return;
    }
    std::filesystem::create_directories(*desktop);
    writeQuickSwitchFile(*desktop / quickSwitchFileName(caption),
        list.configTable().records.at(static_cast<std::size_t>(i))[ConfigField::Id],
        m_ui->cxCBAdapters->currentIndex());
    m_ctx.prompts.show(MessageSink::Kind::Information, kExported);
}

void TFmain::cxCBshotcutPropertiesChange()
{
    const std::optional<std::filesystem::path> desktop = currentDesktopPaths().desktop;
    if (m_ui->cxCBshotcut->isChecked()) {
        // Written again, silently, at every start while the option is on.
        if (desktop) {
            try {
                createLauncher(*desktop, executablePath(), kLauncherName, kLauncherDescription);
            } catch (const std::exception&) {
            }
        }
        settings::writeShortcut(m_ctx.registry, true);
        return;
    }
    if (!desktop)
        m_ctx.prompts.show(MessageSink::Kind::Information, kNoDesktop);
    else if (deleteLauncher(*desktop, kLauncherName))
        m_ctx.prompts.show(
            MessageSink::Kind::Information, "删除[" + std::string(kLauncherName) + "]快捷方式成功");
    else
        m_ctx.prompts.show(MessageSink::Kind::Information, kNoSuchFile);
    settings::writeShortcut(m_ctx.registry, false);
}

void TFmain::RegisterQuickSwitchFileType()
{
    const std::string exe = executablePath();
    registerFileTypeKeys(m_ctx.registry, exe);
    try {
        const DesktopPaths paths = currentDesktopPaths();
        // The icon is drawn only when the theme has none of ours yet.
        const bool haveIcon
            = std::filesystem::exists(paths.dataHome / "icons/hicolor/256x256/apps/tarnwick.png");
        registerQuickSwitchType(paths, exe, haveIcon ? std::string() : appIconPng(256),
            m_ctx.desktopTools ? m_ctx.desktopTools : systemTools());
    } catch (const std::exception&) {
        // A desktop that cannot take the file type leaves the start as it is.
    }
}

void TFmain::quickSwitchRequested(const QString& path)
{
    m_quickSwitches << path;
    if (m_shownOnce)
        QMetaObject::invokeMethod(this, &TFmain::runQuickSwitches, Qt::QueuedConnection);
}

void TFmain::runQuickSwitches()
{
    while (!m_quickSwitches.isEmpty()) {
        const QString path = m_quickSwitches.takeFirst();
        guarded([this, &path] { openQuickSwitch(path.toStdString()); });
    }
}

void TFmain::openQuickSwitch(const std::string& path)
{
    QuickSwitch q;
    try {
        q = readQuickSwitchFile(path);
    } catch (const std::runtime_error& e) {
        m_ctx.prompts.show(
            MessageSink::Kind::Error, "无法使用快速切换文件“" + path + "”：" + e.what() + "，未作任何更改。");
        return;
    }
    switchToConfiguration(q.cfgId, q.cardId, "快速切换文件“" + path + "”");
}

void TFmain::switchToConfiguration(const std::string& id, int cardId, const std::string& source)
{
    if (m_apply && m_apply->isVisible()) {
        m_ctx.prompts.show(MessageSink::Kind::Warning, kSwitchRunning);
        return;
    }
    // The file as it is now: the configuration may have moved since.
    UpdateConfig();
    const ConfigTable& table = configTable();
    int found = -1;
    for (std::size_t i = 0; i < table.count() && found < 0; ++i) {
        if (table.records[i][ConfigField::Id] == id)
            found = static_cast<int>(i);
    }
    if (found < 0) {
        m_ctx.prompts.show(MessageSink::Kind::Error,
            source + "所指的配置（ID " + id + "）已不在配置文件中（可能已被删除），未作任何更改。");
        return;
    }
    // An adapter that is gone since leaves the one chosen now.
    if (cardId >= 0 && cardId < m_ui->cxCBAdapters->count())
        m_ui->cxCBAdapters->setCurrentIndex(cardId);
    m_ui->configListPanel->select(found);
    ViewConfig(found);
    cxBApplyClick();
}

void TFmain::fillSwitchMenu()
{
    constexpr int kLongestMenuCaption = 300;
    m_switchMenu->setToolTipsVisible(true);
    m_switchMenu->clear();
    const ConfigTable& table = configTable();
    for (std::size_t i = 0; i < table.count(); ++i) {
        const std::string id = table.records[i][ConfigField::Id];
        const QString caption = QString::fromStdString(recordCaption(table.records[i], i));
        // A long caption would make the menu as wide as the screen.
        QAction* a = m_switchMenu->addAction(
            m_switchMenu->fontMetrics().elidedText(caption, Qt::ElideMiddle, kLongestMenuCaption));
        a->setToolTip(caption);
        connect(a, &QAction::triggered, this, [this, id, caption] {
            guarded([&] {
                switchToConfiguration(
                    id, m_ui->cxCBAdapters->currentIndex(), "“" + caption.toStdString() + "”");
            });
        });
    }
    m_switchMenu->setEnabled(table.count() > 0);
}

} // namespace tarnwick::gui
