#pragma once

#include "app/UserPrompts.h"

class QWidget;

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

private:
    QWidget* m_parent = nullptr;
    std::string m_lastName;
};

} // namespace tarnwick::gui
