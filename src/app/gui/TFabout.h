#pragma once

#include <QDialog>

class QLabel;
class QTimer;

namespace tarnwick::gui
{

// The about window: created at first use and kept until the program ends.
class TFabout : public QDialog
{
    Q_OBJECT
public:
    explicit TFabout(QWidget* parent = nullptr);

    // The twelve lines of the information field, in order.
    static const QStringList& infoLines();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QLabel* m_strip;
    QTimer* m_animation;
    int m_frame = 0;
};

} // namespace tarnwick::gui
