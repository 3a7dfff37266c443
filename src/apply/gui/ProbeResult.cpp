#include "apply/gui/ProbeResult.h"

#include "apply/gui/ProbeIndicator.h"

#include <QLabel>

namespace tarnwick
{

void ProbeResult::show(const IndicatorState& state)
{
    m_text->setText(QString::fromStdString(state.text));
    m_circle->setColour(QColor(state.colour.r, state.colour.g, state.colour.b));
    m_text->repaint();
    m_circle->repaint();
}

} // namespace tarnwick
