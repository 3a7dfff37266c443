// One QApplication for every widget test of the executable, on the offscreen platform.
#include "app/gui/GuardedApplication.h"
#include "app/gui/LookController.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // No window test may hang up a connection of this machine: the data
    // module's dial-up service finds no pppd (page tests put in their own).
    qputenv("TARNWICK_PPPD", "/nonexistent/pppd");
    tarnwick::gui::GuardedApplication app(argc, argv);
    // An error no handler caught fails the test at hand instead of opening
    // a box nobody can close.
    struct FailingSink : tarnwick::MessageSink {
        void show(Kind, const std::string& text, const std::string&) override
        {
            ADD_FAILURE() << "an error reached the general handler: " << text;
        }
    } failing;
    app.setErrorSink(&failing);
    tarnwick::gui::LookController::useProgramFont(); // as the program draws its windows
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
