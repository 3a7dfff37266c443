#include "app/gui/QtPrompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>

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

} // namespace

void QtPrompts::show(Kind kind, const std::string& text, const std::string& title)
{
    const QString caption
        = title.empty() ? QApplication::applicationDisplayName() : QString::fromStdString(title);
    const QString body = QString::fromStdString(text);
    if (nobodyToAsk()) {
        std::fprintf(stderr, "%s: %s\n", caption.toLocal8Bit().constData(), body.toLocal8Bit().constData());
        return;
    }
    switch (kind) {
    case Kind::Error:
        QMessageBox::critical(m_parent, caption, body);
        break;
    case Kind::Warning:
        QMessageBox::warning(m_parent, caption, body);
        break;
    case Kind::Information:
        QMessageBox::information(m_parent, caption, body);
        break;
    case Kind::Plain:
        QMessageBox(QMessageBox::NoIcon, caption, body, QMessageBox::Ok, m_parent).exec();
        break;
    }
}

bool QtPrompts::confirm(const std::string& text, Answers answers, const std::string& title)
{
    if (nobodyToAsk())
        return false;
    const QString caption
        = title.empty() ? QApplication::applicationDisplayName() : QString::fromStdString(title);
    const auto yes = answers == Answers::YesNo ? QMessageBox::Yes : QMessageBox::Ok;
    const auto no = answers == Answers::YesNo ? QMessageBox::No : QMessageBox::Cancel;
    return QMessageBox::question(m_parent, caption, QString::fromStdString(text), yes | no, no) == yes;
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
