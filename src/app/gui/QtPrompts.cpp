#include "app/gui/QtPrompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QGuiApplication>
#include <QSpacerItem>

#include <cstdio>

namespace tarnwick::gui
{

namespace
{

// On the offscreen platform nobody can see or answer a modal box: the text
// goes to stderr and a dialog counts as cancelled, so the program never waits.
bool nobodyToAsk()
{
    return QGuiApplication::platformName() == QLatin1String("offscreen");
}

// A title bar's icon and its buttons, besides the title itself.
constexpr int kTitleBarExtra = 128;

} // namespace

std::unique_ptr<QMessageBox> QtPrompts::makeBox(QMessageBox::Icon icon, const QString& title,
    const QString& text, QMessageBox::StandardButtons buttons, QWidget* parent)
{
    auto box = std::make_unique<QMessageBox>(icon, title, text, buttons, parent);
    // A short text makes a narrow box, and the window manager elides its
    // title ("Tar…ick"). Title bars draw in bold more often than not.
    QFont bold = box->font();
    bold.setBold(true);
    const int wanted = QFontMetrics(bold).horizontalAdvance(title) + kTitleBarExtra;
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout()))
        grid->addItem(new QSpacerItem(wanted, 0, QSizePolicy::Fixed, QSizePolicy::Fixed), grid->rowCount(), 0,
            1, grid->columnCount());
    return box;
}

void QtPrompts::show(Kind kind, const std::string& text, const std::string& title)
{
    const QString caption
        = title.empty() ? QApplication::applicationDisplayName() : QString::fromStdString(title);
    const QString body = QString::fromStdString(text);
    if (nobodyToAsk()) {
        std::fprintf(stderr, "%s: %s\n", caption.toLocal8Bit().constData(), body.toLocal8Bit().constData());
        return;
    }
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (kind) {
    case Kind::Error:
        icon = QMessageBox::Critical;
        break;
    case Kind::Warning:
        icon = QMessageBox::Warning;
        break;
    case Kind::Information:
        icon = QMessageBox::Information;
        break;
    case Kind::Plain:
        break;
    }
    makeBox(icon, caption, body, QMessageBox::Ok, m_parent)->exec();
}

bool QtPrompts::confirm(const std::string& text, Answers answers, const std::string& title)
{
    if (nobodyToAsk())
        return false;
    const QString caption
        = title.empty() ? QApplication::applicationDisplayName() : QString::fromStdString(title);
    const auto yes = answers == Answers::YesNo ? QMessageBox::Yes : QMessageBox::Ok;
    const auto no = answers == Answers::YesNo ? QMessageBox::No : QMessageBox::Cancel;
    const auto box
        = makeBox(QMessageBox::Question, caption, QString::fromStdString(text), yes | no, m_parent);
    box->setDefaultButton(no);
    return box->exec() == yes;
}

std::string QtPrompts::askSaveFileName()
{
    if (nobodyToAsk())
        return m_lastName;
    QFileDialog dialog(m_parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // Picking an existing file is the usual answer; do not ask to replace it.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (!m_lastName.empty())
        dialog.selectFile(QString::fromStdString(m_lastName));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        const std::string chosen = dialog.selectedFiles().constFirst().toStdString();
        if (!chosen.empty())
            m_lastName = chosen;
    }
    return m_lastName;
}

} // namespace tarnwick::gui
