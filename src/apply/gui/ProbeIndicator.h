#pragma once

#include <QColor>
#include <QWidget>

namespace tarnwick
{

// The round indicator of the network test: a circle filled with the state's
// colour. Painted by itself so no skin recolours it.
class ProbeIndicator : public QWidget
{
    Q_OBJECT
public:
    explicit ProbeIndicator(QWidget* parent = nullptr);
    void setColour(const QColor& colour);
    QColor colour() const { return m_colour; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_colour = Qt::white;
};

} // namespace tarnwick
