#pragma once

#include <QDialog>

#include <memory>

class QTimer;

namespace Ui
{
class TFabout;
}

namespace tarnwick::gui
{

// The about window: created at first use and kept until the program ends.
class TFabout : public QDialog
{
    Q_OBJECT
public:
    explicit TFabout(QWidget* parent = nullptr);
    ~TFabout() override;

    // The twelve lines of the information field, in order.
    static const QStringList& infoLines();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    std::unique_ptr<Ui::TFabout> m_ui;
    QTimer* m_animation;
    int m_frame = 0;
};

} // namespace tarnwick::gui
