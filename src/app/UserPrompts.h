#pragma once

#include "base/MessageSink.h"

#include <string>

namespace tarnwick::gui
{

// The modal questions: message boxes, Yes/No questions and the save-file dialog.
// Behind an interface so tests answer them without a screen.
class UserPrompts : public MessageSink
{
public:
    // The system's save-file dialog (no title, filter or default name of its
    // own). Empty when cancelled before a name was ever chosen; the dialog
    // keeps its last name, so a later cancel returns that name again.
    virtual std::string askSaveFileName() = 0;
    enum class Answers { YesNo, OkCancel };
    // A question; true for Yes (or OK). `title` may be empty (the
    // application's title is used then).
    virtual bool confirm(
        const std::string& text, Answers answers = Answers::YesNo, const std::string& title = {})
        = 0;
};

} // namespace tarnwick::gui
