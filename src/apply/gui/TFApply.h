#pragma once

#include "adapters/LiveSnapshot.h"
#include "adapters/ProxySource.h"
#include "apply/ApplySequence.h"
#include "apply/CommandRunner.h"
#include "apply/IcmpNetwork.h"
#include "apply/NetworkProbe.h"
#include "apply/ProbeView.h"
#include "apply/TBMDThread.h"
#include "apply/TickClock.h"

#include <QWidget>

#include <functional>
#include <memory>

namespace Ui
{
class TFApply;
}

namespace tarnwick
{

// The apply window: the progress log of a switch, its progress bar and the
// probe's indicators, with retry, exit and back. Created once, at the first
// "应 用", and kept until the program ends; hiding it (back, or the title
// bar's close) gives the screen back to the main window.
class TFApply : public QWidget, public ApplyView, public ProbeView
{
    Q_OBJECT
public:
    struct Parts {
        ApplyInputs& inputs; // the main window's fields
        const LiveSnapshot& snapshot;
        Dispatcher& dispatcher;
        CommandRunner& runner;
        ProxySource& proxy;
        IcmpNetwork& icmp;
        TickClock& ticks;
        QWidget* mainWindow; // centred on it
        std::function<void()> showMainWindow;
        std::function<void()> endProgram; // closes the main window
        // The named connection's values in force, read now on the GUI thread;
        // the probe after a switch tests these rather than the last refresh's.
        ApplySequence::ReadInForce readInForce = nullptr;
    };

    explicit TFApply(Parts parts);
    // Waits for a running sequence, serving its hand-overs.
    ~TFApply() override;

    // Starts the sequence on the window's worker; nothing happens while one runs.
    void ApplyConfig();
    bool running() const { return m_bmdThread1->IsRunning(); }
    NetworkProbe& probe() { return *m_probe; }
    // What the last finished run ended with.
    std::optional<ApplySequence::Outcome> lastOutcome() const { return m_lastOutcome; }

signals:
    // After a run has ended (tests wait on it).
    void runFinished();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    // ApplyView and ProbeView, on the GUI thread.
    void clearLog() override;
    void appendLine(const std::string& line) override;
    void deleteTrailingBlankLines() override;
    void setRetryEnabled(bool enabled) override;
    void setProgress(int position) override;
    void setProgressVisible(bool visible) override;
    void setProbeAreaVisible(bool visible) override;
    void showIndicator(ProbeTarget target, const IndicatorState& state) override;

private:
    void cxBretryClick();
    void cxBbackClick();
    void cxBcloseClick();
    // Puts back the settings in force before the last switch.
    void cxBrestoreClick();
    void FormHide();
    void BMDThread1Execute();
    // After a switch that cut the gateway off or failed, with a point to go back to.
    void showRestoreOffer(ApplySequence::Outcome outcome);

    std::unique_ptr<Ui::TFApply> m_ui;
    Parts m_parts;
    std::unique_ptr<NetworkProbe> m_probe; // its PingServer's numbers go on across applies
    std::unique_ptr<ApplySequence> m_sequence;
    std::optional<ApplySequence::Outcome> m_lastOutcome;
    // GUI thread: the settings before the last switch, and whether the next
    // run puts them back; the worker reads both only between Start and its end.
    std::optional<RestorePoint> m_restorePoint;
    bool m_restoring = false;
    bool m_gatewayAnswered = false;
    // Declared last: destroyed first, while everything its job touches exists.
    std::unique_ptr<TBMDThread> m_bmdThread1;
};

} // namespace tarnwick
