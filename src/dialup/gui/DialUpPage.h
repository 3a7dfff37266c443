#pragma once

#include "base/MessageSink.h"

#include <QWidget>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QMenu;

namespace Ui
{
class DialUpPage;
}

namespace tarnwick
{

class TDialUp;

// The dial-up page: named credentials kept in config.ini, a line of the
// system's dial-up service, dial and hang up through the dial-up component.
// The window it sits in says how an outcome is shown.
class DialUpPage : public QWidget
{
    Q_OBJECT
public:
    struct Parts {
        MessageSink& messages;
        // An OK/Cancel question; true for OK.
        std::function<bool(const std::string& text, const std::string& title)> confirm;
        // The dial-up component; asked each time, as the window may replace it.
        std::function<TDialUp&()> dial;
        std::filesystem::path iniPath; // "config.ini"
        // A notice of the page ("title", "text"), and a dial that failed with its reason.
        std::function<void(const std::string& title, const std::string& text)> notice;
        std::function<void(const std::string& reason)> dialFailed;
    };

    explicit DialUpPage(QWidget* parent = nullptr);
    ~DialUpPage() override;

    // Joins the page with what it works with; once, before it is used.
    void attach(Parts parts);

    // Reads the entries and lines again, as when the page is shown; a
    // failure is reported, never thrown.
    void refresh();

private:
    void GetIniSec();
    void cxLVbohaoClick();
    void cxBtjClick();
    void cxBbcClick();
    void N5Click();
    void cxBbohaoClick();
    void cxBdkClick();

    void connectHandlers();
    void guarded(const char* doing, const std::function<void()>& handler);

    std::unique_ptr<Ui::DialUpPage> m_ui;
    std::optional<Parts> m_parts;
    QMenu* m_dialMenu = nullptr; // PMbohao
};

} // namespace tarnwick
