#include "app/gui/GuardedApplication.h"

#include "app/gui/QtPrompts.h"

#include <QWidget>

#include <exception>

namespace tarnwick::gui
{

GuardedApplication::GuardedApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
}

bool GuardedApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        report(e.what());
    } catch (...) {
        report("程序内部错误，此操作未完成。");
    }
    return false;
}

void GuardedApplication::report(const std::string& text)
{
    // A mouse or keyboard grab left by the interrupted handler would take
    // every later click away from the box.
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    if (QWidget* grabber = QWidget::keyboardGrabber())
        grabber->releaseKeyboard();
    if (m_sink) {
        m_sink->show(MessageSink::Kind::Error, text);
        return;
    }
    QtPrompts::makeBox(QMessageBox::Critical, applicationName(), QString::fromStdString(text),
        QMessageBox::Ok, activeWindow())
        ->exec();
}

} // namespace tarnwick::gui
