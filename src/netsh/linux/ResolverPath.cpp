#include "netsh/linux/ResolverPath.h"

#include <cerrno>
#include <climits>
#include <deque>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace tarnwick::netsh
{

void Fd::reset()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

int openInFolder(int folder, const std::string& name, int flags, unsigned mode)
{
    // Older kernels, or a seccomp filter that does not know the call.
    static bool haveOpenat2 = true;
    if (haveOpenat2) {
        open_how how {};
        how.flags = static_cast<__u64>(flags | O_NOFOLLOW | O_CLOEXEC);
        how.mode = (flags & O_CREAT) ? mode : 0;
        how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS | RESOLVE_BENEATH;
        const long fd = ::syscall(SYS_openat2, folder, name.c_str(), &how, sizeof how);
        if (fd >= 0 || (errno != ENOSYS && errno != EPERM))
            return static_cast<int>(fd);
        haveOpenat2 = false;
    }
    if (name.find('/') != std::string::npos || name == "..") {
        errno = EXDEV;
        return -1;
    }
    return ::openat(folder, name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC, mode);
}

namespace
{

constexpr int kMaxLinks = 40; // as the kernel allows

std::deque<std::string> namesOf(const std::string& path)
{
    std::deque<std::string> out;
    for (std::size_t start = 0; start <= path.size();) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        if (end > start)
            out.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

struct Folder {
    Fd fd;
    std::string name;
};

std::string shownOf(const std::vector<Folder>& folders, const std::string& name = {})
{
    std::string out;
    for (std::size_t i = 1; i < folders.size(); ++i)
        out += "/" + folders[i].name;
    if (!name.empty())
        out += "/" + name;
    return out.empty() ? "/" : out;
}

[[noreturn]] void refuse(const std::string& path, const std::string& why)
{
    throw UnsafeResolverPath("解析器文件“" + path + "”不安全：" + why + "，未作任何更改。");
}

// A link's own mode says nothing: only its owner and its folder count.
void requireRootOnly(const std::string& path, const struct stat& st, const std::string& shown)
{
    if (st.st_uid != 0)
        refuse(path, "“" + shown + "”不归 root 所有");
    if (!S_ISLNK(st.st_mode) && (st.st_mode & (S_IWGRP | S_IWOTH)))
        refuse(path, "“" + shown + "”可被 root 以外的用户写入");
}

std::string linkText(int fd, const std::string& shown)
{
    std::string buf(PATH_MAX, '\0');
    const ssize_t n = ::readlinkat(fd, "", buf.data(), buf.size());
    if (n < 0)
        throw std::system_error(errno, std::generic_category(), "cannot read the link " + shown);
    buf.resize(static_cast<std::size_t>(n));
    return buf;
}

} // namespace

CheckedResolverPath checkResolverPath(const std::filesystem::path& root, const std::string& path, Links links)
{
    std::vector<Folder> folders;
    {
        Fd fd(::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!fd)
            throw std::system_error(errno, std::generic_category(), "cannot open " + root.string());
        struct stat st {
        };
        if (::fstat(fd.get(), &st) != 0)
            throw std::system_error(errno, std::generic_category(), "cannot read " + root.string());
        requireRootOnly(path, st, "/");
        folders.push_back({ std::move(fd), {} });
    }
    std::deque<std::string> todo = namesOf(path);
    int linksTaken = 0;
    while (!todo.empty()) {
        const std::string name = todo.front();
        todo.pop_front();
        if (name == ".")
            continue;
        if (name == "..") {
            if (folders.size() > 1)
                folders.pop_back();
            continue;
        }
        const bool last = todo.empty();
        const std::string shown = shownOf(folders, name);
        Fd fd(openInFolder(folders.back().fd.get(), name, O_PATH));
        if (!fd) {
            if (errno == ENOENT && last)
                return { std::move(folders.back().fd), name, false, {}, shown };
            throw std::system_error(errno, std::generic_category(), "cannot open " + shown);
        }
        struct stat st {
        };
        if (::fstat(fd.get(), &st) != 0)
            throw std::system_error(errno, std::generic_category(), "cannot read " + shown);
        if (S_ISLNK(st.st_mode)) {
            if (links == Links::None)
                refuse(path, "“" + shown + "”是符号链接");
            requireRootOnly(path, st, shown);
            if (++linksTaken > kMaxLinks)
                refuse(path, "符号链接层数过多");
            const std::string target = linkText(fd.get(), shown);
            if (target.empty())
                refuse(path, "“" + shown + "”是空的符号链接");
            if (target.front() == '/')
                folders.resize(1);
            const auto names = namesOf(target);
            todo.insert(todo.begin(), names.begin(), names.end());
            continue;
        }
        requireRootOnly(path, st, shown);
        if (last) {
            if (!S_ISREG(st.st_mode))
                refuse(path, "“" + shown + "”不是普通文件");
            return { std::move(folders.back().fd), name, true, st, shown };
        }
        if (!S_ISDIR(st.st_mode))
            throw std::system_error(ENOTDIR, std::generic_category(), "cannot open " + shown);
        folders.push_back({ std::move(fd), name });
    }
    refuse(path, "“" + shownOf(folders) + "”不是普通文件");
}

} // namespace tarnwick::netsh
