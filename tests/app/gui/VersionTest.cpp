// One version: what `tarnwick --version` prints is what the about window and
// the installed desktop entry show, and what the packaging files name.
#include "GuiHarness.h"

#include "base/Version.h"

#include <QProcess>

using namespace tarnwick;
using namespace tarnwick::gui;
namespace fs = std::filesystem;

namespace
{

// A built program's standard output; nothing when it failed.
std::optional<QString> output(const char* program, const QStringList& args)
{
    QProcess p;
    p.start(QString::fromStdString(std::string(test::kBinDir) + "/" + program), args);
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(p.readAllStandardOutput());
}

std::string fileText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

std::string sourceFile(const char* relative)
{
    return fileText(fs::path(test::kSourceDir) / relative);
}

} // namespace

TEST(Version, TheCommandLineTheAboutWindowAndTheDesktopEntryAgree)
{
    const QString printed = output("tarnwick", { QStringLiteral("--version") }).value_or(QString()).trimmed();
    ASSERT_TRUE(printed.startsWith(QStringLiteral("tarnwick "))) << printed.toStdString();
    const QString version = printed.mid(9);
    ASSERT_FALSE(version.isEmpty());
    EXPECT_EQ(version, QString::fromLatin1(kVersion));

    TFabout about;
    EXPECT_EQ(about.findChild<QLabel*>(QStringLiteral("cxLVersion"))->text(),
        QStringLiteral("Tarnwick  版本：V") + version);

    // The entry an installation gives the desktop, written by the build's own tool.
    test::TempDir dir;
    ASSERT_TRUE(output("tw-desktop-data", { QString::fromStdString(dir.path().string()) }));
    const std::string entry = fileText(dir / "share" / "applications" / "tarnwick.desktop");
    const std::string comment
        = "\nComment=Tarnwick\\n    切换IP工具的好工具\\n    版本：V" + version.toStdString() + "\n";
    EXPECT_NE(entry.find(comment), std::string::npos) << entry;
}

TEST(Version, ThePackagingFilesNameTheProgramsVersion)
{
    const std::string v = kVersion;
    EXPECT_EQ(sourceFile("debian/changelog").rfind("tarnwick (" + v + ")", 0), 0u) << "the newest entry";
    const std::string metainfo = sourceFile("data/tarnwick.metainfo.xml");
    const auto release = metainfo.find("<release ");
    ASSERT_NE(release, std::string::npos);
    EXPECT_EQ(metainfo.find("<release version=\"" + v + "\"", release), release) << "the newest release";
    for (const char* page : { "data/man/tarnwick.1", "data/man/netsh.8" })
        EXPECT_NE(sourceFile(page).find("\"Tarnwick " + v + "\""), std::string::npos) << page;
}
