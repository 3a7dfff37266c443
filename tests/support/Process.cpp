#include "Process.h"

#include "Sanitized.h"
#include "TestPaths.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tarnwick::test
{

std::string binPath(const std::string& name)
{
    return std::string(kBinDir) + "/" + name;
}

std::vector<std::string> environmentWith(const std::map<std::string, std::string>& extra)
{
    std::map<std::string, std::string> merged;
    for (char** e = environ; *e; ++e) {
        const std::string kv(*e);
        const auto eq = kv.find('=');
        if (eq != std::string::npos)
            merged[kv.substr(0, eq)] = kv.substr(eq + 1);
    }
    for (const auto& [k, v] : extra)
        merged[k] = v;
    std::vector<std::string> out;
    for (const auto& [k, v] : merged)
        out.push_back(k + "=" + v);
    return out;
}

namespace
{

constexpr rlim_t kDataLimit = rlim_t { 1 } << 30;

ProcessResult run(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
    const std::string& workDir, std::optional<std::chrono::milliseconds> limit)
{
    std::vector<std::string> envStrings = environmentWith(env);
    std::vector<char*> envp;
    for (auto& s : envStrings)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = argv;
    std::vector<char*> argp;
    for (auto& s : args)
        argp.push_back(s.data());
    argp.push_back(nullptr);

    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&fa, errPipe[1], 2);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    if (!workDir.empty())
        posix_spawn_file_actions_addchdir_np(&fa, workDir.c_str());
    pid_t pid = 0;
    const int rc = ::posix_spawnp(&pid, argp[0], &fa, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&fa);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    if (rc != 0) {
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(rc));
    }
    if (limit && !kSanitizedBuild) {
        // Set from outside just after the start: a runaway read fails its
        // allocation instead of taking the machine's memory.
        const rlimit data { kDataLimit, kDataLimit };
        ::prlimit(pid, RLIMIT_DATA, &data, nullptr);
    }
    ProcessResult result;
    pollfd fds[2] = { { outPipe[0], POLLIN, 0 }, { errPipe[0], POLLIN, 0 } };
    std::string* sinks[2] = { &result.out, &result.err };
    int open = 2;
    const auto deadline = std::chrono::steady_clock::now() + limit.value_or(std::chrono::milliseconds(0));
    while (open > 0) {
        int wait = -1;
        if (limit && !result.timedOut) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                // The pipes close when the child is gone.
                ::kill(pid, SIGKILL);
                result.timedOut = true;
            } else {
                wait = static_cast<int>(left.count());
            }
        }
        const int ready = ::poll(fds, 2, wait);
        if (ready == 0)
            continue;
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            char buf[65536];
            const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                sinks[i]->append(buf, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace

ProcessResult runProcess(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
    const std::string& workDir)
{
    return run(argv, env, workDir, std::nullopt);
}

ProcessResult runProcessWithin(const std::vector<std::string>& argv, std::chrono::milliseconds limit,
    const std::map<std::string, std::string>& env)
{
    return run(argv, env, {}, limit);
}

int runForkedWithin(const std::function<int()>& body, std::chrono::seconds limit)
{
    const pid_t pid = ::fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        if (!kSanitizedBuild) {
            const rlimit data { kDataLimit, kDataLimit };
            ::setrlimit(RLIMIT_DATA, &data);
        }
        ::alarm(static_cast<unsigned>(limit.count()));
        int code = 99;
        try {
            code = body();
        } catch (...) {
        }
        ::_exit(code);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace tarnwick::test
