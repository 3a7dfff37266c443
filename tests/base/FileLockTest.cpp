#include "base/FileLock.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using tarnwick::FileLock;
using tarnwick::test::TempDir;

namespace
{

// Another process holding the lock until it is ended.
int holdInChild(const std::filesystem::path& lockFile)
{
    int ready[2];
    if (::pipe(ready) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        FileLock lock(lockFile);
        [[maybe_unused]] const auto n = ::write(ready[1], "x", 1);
        for (;;)
            ::pause();
    }
    ::close(ready[1]);
    char byte = 0;
    const bool locked = ::read(ready[0], &byte, 1) == 1;
    ::close(ready[0]);
    return locked ? pid : -1;
}

void end(int pid)
{
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

} // namespace

TEST(FileLock, ALimitedWaitGivesUpNamingTheHolderAndTakesAFreedLock)
{
    const TempDir dir;
    const auto file = dir / "lock";
    const int holder = holdInChild(file);
    ASSERT_GT(holder, 0);
    {
        const FileLock tried(file, FileLock::Mode::Try);
        EXPECT_FALSE(tried.held());
        const FileLock waited(file, std::chrono::milliseconds(100));
        EXPECT_FALSE(waited.held());
        EXPECT_EQ(waited.holder(), holder);
    }
    end(holder);
    EXPECT_TRUE(FileLock(file, FileLock::Mode::Try).held());
    FileLock first(file, std::chrono::milliseconds(100));
    EXPECT_TRUE(first.held());
    // Moved, the lock stays held: the function that took it hands it out.
    const FileLock moved(std::move(first));
    EXPECT_FALSE(first.held());
    EXPECT_TRUE(moved.held());
    const int pid = ::fork();
    if (pid == 0)
        ::_exit(FileLock(file, FileLock::Mode::Try).held() ? 1 : 0);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "another process got the moved lock";
}
