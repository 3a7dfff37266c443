// One QApplication for every widget test of the executable, on the offscreen platform.
#include "app/gui/LookController.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // No window test may hang up a connection of this machine: the data
    // module's dial-up service finds no pppd (page tests put in their own).
    qputenv("TARNWICK_PPPD", "/nonexistent/pppd");
    QApplication app(argc, argv);
    tarnwick::gui::LookController::useProgramFont(); // as the program draws its windows
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
