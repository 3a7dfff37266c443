// The lower bound of bench/startup: a Qt Widgets program that shows an empty
// window of the main window's size and says so, exactly as tarnwick does.
// With --text it also shows one label of Chinese text in the program's font:
// the floor for any window that draws Chinese, for reading the figures.
#include "FirstPaintReporter.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QWidget>

#include <cstring>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setFixedSize(717, 368);
    if (argc > 1 && std::strcmp(argv[1], "--text") == 0) {
        QFont font;
        font.setFamilies({ QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Micro Hei") });
        font.setPixelSize(12);
        QApplication::setFont(font);
        auto* label = new QLabel(QStringLiteral("网卡参数 IP地址"), &window);
        label->setGeometry(10, 10, 200, 20);
    }
    FirstPaintReporter reporter;
    window.installEventFilter(&reporter);
    window.show();
    return app.exec();
}
