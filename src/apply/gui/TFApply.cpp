#include "apply/gui/TFApply.h"

#include "apply/IndicatorState.h"
#include "apply/gui/ProbeResult.h"
#include "ui_TFApply.h"

#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QTextBlock>

namespace tarnwick
{

namespace
{

// Empty after removing white space and control characters at both ends.
bool blankLine(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() > 0x20 && c.unicode() != 0x7f)
            return false;
    }
    return true;
}

} // namespace

TFApply::TFApply(Parts parts)
    : QWidget(nullptr, Qt::Window)
    , m_ui(std::make_unique<Ui::TFApply>())
    , m_parts(std::move(parts))
{
    m_ui->setupUi(this);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowCloseButtonHint);
    setFixedSize(size());
    // The log pads its columns with spaces, as 宋体's half-width Latin
    // letters line them up; where SimSun is missing, a CJK font with
    // fixed-width Latin letters does the same.
    QFont log = font();
    log.setFamilies({ QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Micro Hei Mono") });
    m_ui->cxMinfo->setFont(log);
    connect(m_ui->cxBretry, &QPushButton::clicked, this, &TFApply::cxBretryClick);
    connect(m_ui->cxBback, &QPushButton::clicked, this, &TFApply::cxBbackClick);
    connect(m_ui->cxBclose, &QPushButton::clicked, this, &TFApply::cxBcloseClick);
    connect(m_ui->cxBrestore, &QPushButton::clicked, this, &TFApply::cxBrestoreClick);

    m_probe = std::make_unique<NetworkProbe>(
        m_parts.icmp, m_parts.ticks, m_parts.snapshot, m_parts.dispatcher, *this);
    m_sequence = std::make_unique<ApplySequence>(
        m_parts.inputs, m_parts.snapshot, *this, m_parts.dispatcher, m_parts.runner, m_parts.proxy,
        [this](const InterfaceReading& now) { m_probe->TestNetStatus(now.gatewayInForce, now.dnsInForce); },
        m_parts.readInForce);
    m_bmdThread1 = std::make_unique<TBMDThread>(m_parts.dispatcher);
    m_bmdThread1->SetOnExecute([this](TBMDThread&) { BMDThread1Execute(); });
}

TFApply::~TFApply()
{
    // Before the widgets go: the running sequence may still hand over changes.
    m_bmdThread1.reset();
}

void TFApply::ApplyConfig()
{
    if (running())
        return;
    m_ui->cxBrestore->hide();
    m_bmdThread1->Start();
}

void TFApply::cxBretryClick()
{
    ApplyConfig();
}

void TFApply::cxBbackClick()
{
    hide();
}

void TFApply::cxBcloseClick()
{
    m_parts.endProgram();
}

void TFApply::cxBrestoreClick()
{
    if (running() || !m_restorePoint)
        return;
    m_restoring = true;
    ApplyConfig();
}

// On the worker thread; the window changes only through the dispatcher.
void TFApply::BMDThread1Execute()
{
    if (m_restoring) {
        const ApplySequence::RestoreResult back = m_sequence->restore(*m_restorePoint);
        m_parts.dispatcher.invoke([this, back] {
            m_restoring = false;
            m_lastOutcome = back.outcome;
            emit runFinished();
        });
        return;
    }
    const ApplySequence::Outcome outcome = m_sequence->run();
    const std::optional<RestorePoint> point = m_sequence->restorePoint();
    m_parts.dispatcher.invoke([this, outcome, point] {
        m_lastOutcome = outcome;
        if (point)
            m_restorePoint = point;
        showRestoreOffer(outcome);
        emit runFinished();
    });
}

void TFApply::showRestoreOffer(ApplySequence::Outcome outcome)
{
    const bool cutOff = outcome == ApplySequence::Outcome::NotAllApplied
        || outcome == ApplySequence::Outcome::Stopped
        || (outcome == ApplySequence::Outcome::Done && !m_gatewayAnswered);
    m_ui->cxBrestore->setVisible(cutOff && m_restorePoint.has_value());
}

void TFApply::showEvent(QShowEvent* event)
{
    // Centred on the main window, which stands where it was hidden.
    if (m_parts.mainWindow)
        move(m_parts.mainWindow->geometry().center() - rect().center());
    QWidget::showEvent(event);
}

void TFApply::closeEvent(QCloseEvent* event)
{
    // The title bar's close hides the window, as back does.
    event->ignore();
    hide();
}

void TFApply::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        FormHide();
}

void TFApply::FormHide()
{
    m_ui->cxBrestore->hide();
    m_ui->cxMinfo->clear();
    m_ui->cxLabel1->hide();
    m_ui->cxProgressBar1->setValue(0);
    m_ui->cxProgressBar1->show();
    m_parts.showMainWindow();
}

void TFApply::clearLog()
{
    m_ui->cxMinfo->clear();
}

void TFApply::appendLine(const std::string& line)
{
    m_ui->cxMinfo->appendPlainText(QString::fromStdString(line));
}

void TFApply::deleteTrailingBlankLines()
{
    QTextDocument* doc = m_ui->cxMinfo->document();
    while (!doc->isEmpty() && blankLine(doc->lastBlock().text())) {
        QTextCursor cursor(doc);
        cursor.movePosition(QTextCursor::End);
        if (doc->blockCount() == 1) {
            cursor.select(QTextCursor::Document);
        } else {
            // The last line and the line break before it.
            cursor.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
            cursor.movePosition(QTextCursor::PreviousCharacter, QTextCursor::KeepAnchor);
        }
        cursor.removeSelectedText();
    }
}

void TFApply::setRetryEnabled(bool enabled)
{
    m_ui->cxBretry->setEnabled(enabled);
}

void TFApply::setProgress(int position)
{
    m_ui->cxProgressBar1->setValue(position);
    m_ui->cxProgressBar1->repaint();
}

void TFApply::setProgressVisible(bool visible)
{
    m_ui->cxProgressBar1->setVisible(visible);
}

void TFApply::setProbeAreaVisible(bool visible)
{
    for (QWidget* w : std::initializer_list<QWidget*> { m_ui->cxLabel7, m_ui->cxLabel9, m_ui->cxLB_TestGate,
             m_ui->cxLB_TestDNS, m_ui->SP_TestGate, m_ui->SP_TestDNS })
        w->setVisible(visible);
    if (!visible) {
        m_ui->cxLabel1->hide();
        ProbeResult(*m_ui->SP_TestGate, *m_ui->cxLB_TestGate).reset();
        ProbeResult(*m_ui->SP_TestDNS, *m_ui->cxLB_TestDNS).reset();
    }
}

void TFApply::showIndicator(ProbeTarget target, const IndicatorState& state)
{
    const bool gate = target == ProbeTarget::Gateway;
    if (gate)
        m_gatewayAnswered = state.colour == indicator::answered(0).colour;
    ProbeResult(
        gate ? *m_ui->SP_TestGate : *m_ui->SP_TestDNS, gate ? *m_ui->cxLB_TestGate : *m_ui->cxLB_TestDNS)
        .show(state);
}

} // namespace tarnwick
