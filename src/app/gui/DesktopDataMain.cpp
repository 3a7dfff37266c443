// Writes the files a system installation gives the desktop, from the same
// code that registers them for one user at every start: the desktop entry,
// the shared-mime-info type of quick-switch files and the program's icon in
// the hicolor theme at its usual sizes.
//
//   tw-desktop-data FOLDER     (writes FOLDER/share/...)
#include "app/gui/Artwork.h"
#include "base/AtomicFile.h"
#include "shortcuts/DesktopFiles.h"

#include <QGuiApplication>

#include <cstdio>
#include <exception>
#include <filesystem>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: tw-desktop-data FOLDER\n", stderr);
        return 64;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    namespace fs = std::filesystem;
    const fs::path out = argv[1];
    try {
        const tarnwick::DesktopPaths paths { std::nullopt, out / "share", out / "user-config" };
        // "tarnwick": the desktop finds the installed program on PATH.
        tarnwick::registerQuickSwitchType(
            paths, "tarnwick", tarnwick::gui::appIconPng(256), [](const std::vector<std::string>&) {});
        for (const int size : { 16, 22, 24, 32, 48, 64, 128 }) {
            const fs::path dir = out / "share" / "icons" / "hicolor"
                / (std::to_string(size) + "x" + std::to_string(size)) / "apps";
            fs::create_directories(dir);
            tarnwick::writeFileAtomically(dir / "tarnwick.png", tarnwick::gui::appIconPng(size), 0644);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tw-desktop-data: %s\n", e.what());
        return 1;
    }
    return 0;
}
