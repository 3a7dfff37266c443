#include "Interactive.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace tarnwick::test
{

namespace
{

using Clock = std::chrono::steady_clock;

} // namespace

Interactive::Interactive(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env)
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

    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, in[0], 0);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    posix_spawn_file_actions_adddup2(&fa, err[1], 2);
    const int rc = ::posix_spawnp(&m_pid, argp[0], &fa, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&fa);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    m_in = in[1];
    m_out = out[0];
    m_err = err[0];
    if (rc != 0)
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(rc));
}

Interactive::~Interactive()
{
    if (!m_reaped && m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        reap(true);
    }
    for (int fd : { m_in, m_out, m_err })
        if (fd >= 0)
            ::close(fd);
}

bool Interactive::pump(std::chrono::milliseconds wait)
{
    pollfd fds[2] = { { m_out, POLLIN, 0 }, { m_err, POLLIN, 0 } };
    if (m_out < 0 && m_err < 0)
        return false;
    if (::poll(fds, 2, static_cast<int>(wait.count())) <= 0)
        return true;
    int* ends[2] = { &m_out, &m_err };
    std::string* texts[2] = { &m_result.out, &m_result.err };
    for (int i = 0; i < 2; ++i) {
        if (*ends[i] < 0 || !fds[i].revents)
            continue;
        char buffer[4096];
        const ssize_t n = ::read(*ends[i], buffer, sizeof buffer);
        if (n > 0) {
            texts[i]->append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            ::close(*ends[i]);
            *ends[i] = -1;
        }
    }
    return true;
}

bool Interactive::waitForOutput(const std::string& text, std::chrono::milliseconds limit)
{
    const auto deadline = Clock::now() + limit;
    while (m_result.out.find(text) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || !pump(std::min(left, std::chrono::milliseconds(50))))
            return m_result.out.find(text) != std::string::npos;
    }
    return true;
}

void Interactive::write(const std::string& text)
{
    if (m_in >= 0)
        (void)!::write(m_in, text.data(), text.size());
}

void Interactive::closeInput()
{
    if (m_in >= 0)
        ::close(m_in);
    m_in = -1;
}

bool Interactive::reap(bool block)
{
    if (m_reaped)
        return true;
    int status = 0;
    const pid_t r = ::waitpid(m_pid, &status, block ? 0 : WNOHANG);
    if (r != m_pid)
        return false;
    m_reaped = true;
    m_result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return true;
}

bool Interactive::ended()
{
    pump(std::chrono::milliseconds(0));
    return reap(false);
}

ProcessResult Interactive::finish(std::chrono::milliseconds limit)
{
    const auto deadline = Clock::now() + limit;
    while (pump(std::chrono::milliseconds(50))) {
        if (Clock::now() > deadline) {
            ::kill(m_pid, SIGKILL);
            m_result.timedOut = true;
        }
    }
    reap(true);
    return m_result;
}

} // namespace tarnwick::test
