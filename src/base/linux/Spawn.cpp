#include "base/Spawn.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <system_error>

extern char** environ;

namespace tarnwick
{

namespace
{

class SpawnSetup
{
public:
    explicit SpawnSetup(const ChildStreams& streams)
    {
        posix_spawn_file_actions_init(&m_actions);
        posix_spawnattr_init(&m_attr);
        stream(0, streams.in, O_RDONLY);
        stream(1, streams.out, O_WRONLY);
        stream(2, streams.err, O_WRONLY);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&m_attr, &none);
        sigset_t defaults;
        sigemptyset(&defaults);
        for (int sig : { SIGPIPE, SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGCHLD })
            sigaddset(&defaults, sig);
        posix_spawnattr_setsigdefault(&m_attr, &defaults);
        posix_spawnattr_setflags(&m_attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    ~SpawnSetup()
    {
        posix_spawnattr_destroy(&m_attr);
        posix_spawn_file_actions_destroy(&m_actions);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    const posix_spawn_file_actions_t* actions() const { return &m_actions; }
    const posix_spawnattr_t* attr() const { return &m_attr; }

private:
    void stream(int target, int fd, int mode)
    {
        if (fd < 0)
            posix_spawn_file_actions_addopen(&m_actions, target, "/dev/null", mode, 0);
        else
            posix_spawn_file_actions_adddup2(&m_actions, fd, target);
    }

    posix_spawn_file_actions_t m_actions;
    posix_spawnattr_t m_attr;
};

} // namespace

pid_t spawnProgram(const std::string& path, const std::vector<std::string>& argv, const ChildStreams& streams)
{
    std::vector<std::string> args = argv;
    std::vector<char*> list;
    for (auto& a : args)
        list.push_back(a.data());
    list.push_back(nullptr);
    const SpawnSetup setup(streams);
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, path.c_str(), setup.actions(), setup.attr(), list.data(), environ);
    if (rc != 0)
        throw std::system_error(
            rc, std::generic_category(), "cannot start " + (argv.empty() ? path : argv[0]));
    return pid;
}

int waitForExit(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace tarnwick
