#pragma once

#include "app/UserPrompts.h"

#include <QMessageBox>

#include <memory>

namespace tarnwick::gui
{

// Message boxes and the file dialog of the real program.
class QtPrompts : public UserPrompts
{
public:
    void setParent(QWidget* parent) { m_parent = parent; }
    void show(Kind kind, const std::string& text, const std::string& title = {}) override;
    std::string askSaveFileName() override;
    bool confirm(const std::string& text, Answers answers, const std::string& title) override;

    // A box at least as wide as its title bar needs for the whole title.
    static std::unique_ptr<QMessageBox> makeBox(QMessageBox::Icon icon, const QString& title,
        const QString& text, QMessageBox::StandardButtons buttons, QWidget* parent);

private:
    QWidget* m_parent = nullptr;
    std::string m_lastName;
};

} // namespace tarnwick::gui
