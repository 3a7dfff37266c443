// The lower bound of bench/startup: a Qt Widgets program that shows an empty
// window of the main window's size and says so, exactly as tarnwick does.
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setFixedSize(717, 368);
    window.show();
    QTimer::singleShot(0, [] {
        std::fputs("tarnwick: shown\n", stdout);
        std::fflush(stdout);
    });
    return app.exec();
}
