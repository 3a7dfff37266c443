#include "apply/gui/ProbeIndicator.h"

#include <QPainter>

namespace tarnwick
{

ProbeIndicator::ProbeIndicator(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

void ProbeIndicator::setColour(const QColor& colour)
{
    m_colour = colour;
    update();
}

void ProbeIndicator::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(m_colour);
    p.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

} // namespace tarnwick
