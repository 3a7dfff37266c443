// One QApplication for every widget test of the executable, on the offscreen platform.
#include "app/gui/LookController.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    tarnwick::gui::LookController::useProgramFont(); // as the program draws its windows
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
