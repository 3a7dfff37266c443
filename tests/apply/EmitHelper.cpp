// A child for the runner tests: does what its arguments say, in order.
//   out N     N bytes of a-z pattern on stdout (in several writes)
//   text S    S on stdout          err S    S on stderr
//   nul       "ab\0cd" in one write
//   args ...  every remaining argument as [arg] lines
//   self      the path of this program
//   fds       the numbers of its open descriptors, space-separated
//   sleep MS
//   linger MS a grandchild that keeps stdout open for MS after we end
//   exit N    ends with status N     kill      ends by its own SIGKILL
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace
{

void writeAll(int fd, const char* p, std::size_t n)
{
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w <= 0)
            std::exit(3);
        p += w;
        n -= static_cast<std::size_t>(w);
    }
}

void writeAll(int fd, const std::string& s)
{
    writeAll(fd, s.data(), s.size());
}

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string cmd = argv[i];
        if (cmd == "out" && i + 1 < argc) {
            const long n = std::atol(argv[++i]);
            std::string block;
            for (long k = 0; k < n; ++k)
                block += static_cast<char>('a' + k % 26);
            // Uneven writes, so reads do not line up with them.
            std::size_t at = 0;
            std::size_t step = 1000;
            while (at < block.size()) {
                const std::size_t len = std::min(step, block.size() - at);
                writeAll(1, block.data() + at, len);
                at += len;
                step = step * 3 % 70001 + 1;
            }
        } else if (cmd == "text" && i + 1 < argc) {
            writeAll(1, argv[++i]);
        } else if (cmd == "err" && i + 1 < argc) {
            writeAll(2, argv[++i]);
        } else if (cmd == "nul") {
            writeAll(1, "ab\0cd", 5);
        } else if (cmd == "args") {
            for (++i; i < argc; ++i)
                writeAll(1, "[" + std::string(argv[i]) + "]\n");
        } else if (cmd == "self") {
            char buf[4096];
            const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf);
            if (n > 0)
                writeAll(1, buf, static_cast<std::size_t>(n));
        } else if (cmd == "fds") {
            DIR* d = ::opendir("/proc/self/fd");
            std::string list;
            while (dirent* e = ::readdir(d)) {
                if (e->d_name[0] == '.' || std::atoi(e->d_name) == ::dirfd(d))
                    continue;
                list += std::string(e->d_name) + " ";
            }
            ::closedir(d);
            writeAll(1, list);
        } else if (cmd == "linger" && i + 1 < argc) {
            const long ms = std::atol(argv[++i]);
            if (::fork() == 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(ms));
                ::_exit(0);
            }
        } else if (cmd == "exit" && i + 1 < argc) {
            return std::atoi(argv[++i]);
        } else if (cmd == "kill") {
            ::raise(SIGKILL);
        } else if (cmd == "sleep" && i + 1 < argc) {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::atol(argv[++i])));
        } else {
            return 2;
        }
    }
    return 0;
}
