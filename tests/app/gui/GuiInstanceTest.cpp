// The single-instance guard between two real tarnwick processes on the
// offscreen platform, each test with its own TARNWICK_HOME.
#include "app/ConfigFileSearch.h"
#include "base/FileLock.h"

#include "TempDir.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QThread>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace tarnwick;

namespace
{

const QString kAlreadyRunning = QStringLiteral("程序已运行,请勿执行多个程序实例");

class Instances : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fs::create_directories(home());
        std::ofstream(home() / "config.xml", std::ios::binary) << gui::emptyConfigFileBytes();
        std::ofstream(home() / "config.ini", std::ios::binary) << "[Setting]\r\nSskin=Black\r\n";
    }
    void TearDown() override
    {
        for (QProcess* p : m_started) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
            delete p;
        }
    }

    fs::path home() const { return m_dir / "home"; }

    QProcess* start(const QStringList& args)
    {
        auto* p = new QProcess;
        m_started.push_back(p);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("TARNWICK_HOME"), QString::fromStdString(home().string()));
        p->setProcessEnvironment(env);
        p->setWorkingDirectory(QString::fromStdString(m_dir.path().string()));
        p->start(QString::fromStdString(std::string(test::kBinDir) + "/tarnwick"), args);
        EXPECT_TRUE(p->waitForStarted(5000));
        return p;
    }

    // The first instance listens once it holds the lock.
    bool waitUntilListening()
    {
        for (int i = 0; i < 200; ++i) {
            if (fs::exists(home() / "tarnwick.sock"))
                return true;
            QThread::msleep(50);
        }
        return false;
    }

    struct Finished {
        int exitCode;
        QString err;
    };
    Finished run(const QStringList& args)
    {
        QProcess* p = start(args);
        EXPECT_TRUE(p->waitForFinished(30000));
        return { p->exitCode(), QString::fromUtf8(p->readAllStandardError()) };
    }

    test::TempDir m_dir;
    std::vector<QProcess*> m_started;
};

} // namespace

TEST_F(Instances, SecondStartBringsTheFirstForwardAndLeavesItRunning)
{
    QProcess* first = start({});
    ASSERT_TRUE(waitUntilListening());

    // Without a file the running window is asked to the front, without the message.
    const Finished second = run({});
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_FALSE(second.err.contains(kAlreadyRunning)) << second.err.toStdString();
    EXPECT_EQ(first->state(), QProcess::Running);

    // A quick-switch file goes to the running instance, without the message.
    const Finished handOver = run({ QString::fromStdString((m_dir / "office.twk").string()) });
    EXPECT_EQ(handOver.exitCode, 0);
    EXPECT_FALSE(handOver.err.contains(kAlreadyRunning)) << handOver.err.toStdString();
    EXPECT_EQ(first->state(), QProcess::Running);
}

TEST_F(Instances, ARunningInstanceThatDoesNotAnswerIsReportedAsSuch)
{
    // The lock is held, but nobody listens on the socket.
    const FileLock held(home() / "tarnwick.lock", FileLock::Mode::Try);
    ASSERT_TRUE(held.held());
    const struct {
        QStringList args;
        QString says;
    } cases[] = {
        { {}, QStringLiteral("没有响应，无法将其窗口调到前面") },
        { { QString::fromStdString((m_dir / "office.twk").string()) },
            QStringLiteral("没有响应，未能把快速切换文件交给它") },
    };
    for (const auto& c : cases) {
        const Finished second = run(c.args);
        EXPECT_EQ(second.exitCode, 0);
        EXPECT_TRUE(second.err.contains(kAlreadyRunning)) << second.err.toStdString();
        EXPECT_TRUE(second.err.contains(c.says)) << second.err.toStdString();
    }
}

TEST_F(Instances, AKilledInstanceDoesNotBlockTheNextStart)
{
    QProcess* first = start({});
    ASSERT_TRUE(waitUntilListening());
    first->kill();
    ASSERT_TRUE(first->waitForFinished(5000));

    QProcess* next = start({});
    // Still running after a while: it passed the guard and shows its window.
    EXPECT_FALSE(next->waitForFinished(1500));
    EXPECT_EQ(next->state(), QProcess::Running);
    EXPECT_FALSE(QString::fromUtf8(next->readAllStandardError()).contains(kAlreadyRunning));
}

TEST_F(Instances, ArgumentsThatAreNoWindowStartGiveTheUsage)
{
    for (const QStringList& args : { QStringList { QStringLiteral("--nonsense") },
             QStringList { QStringLiteral("a.twk"), QStringLiteral("b.twk") },
             QStringList { QStringLiteral("config.xml") } }) {
        const Finished f = run(args);
        EXPECT_EQ(f.exitCode, 64) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(f.err.contains(QStringLiteral("usage:"))) << f.err.toStdString();
    }
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
