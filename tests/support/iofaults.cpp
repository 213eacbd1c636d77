// SPDX-License-Identifier: LGPL-3.0-or-later
// Definitions in the executable come first in the dynamic lookup, so these wrappers catch
// the calls that Qt and FreeImage make; each forwards to the next definition (libc's, or a
// sanitizer's in front of it) and, when armed, fails from the chosen one on instead.
#include "iofaults.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

namespace {

struct State
{
    std::recursive_mutex mutex;
    std::atomic<bool> armed{false};
    std::string dir; // with a trailing slash
    int failFrom = 0;
    int count = 0;
    QStringList calls;
    QString failed;
};

// Never destroyed: threads may still write while the process ends.
State &state()
{
    static State *s = new State;
    return *s;
}

// Set while a wrapper does its own bookkeeping, so that nothing it calls is counted.
thread_local bool inWrapper = false;

template <typename F>
F next(const char *name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

std::string pathOfFd(int fd)
{
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[4096];
    const ssize_t n = readlink(link, target, sizeof target - 1);
    return n > 0 ? std::string(target, size_t(n)) : std::string();
}

// "/proc/self/fd/N" (how Qt names an unnamed temporary file) stands for the file behind N.
std::string resolve(const char *path)
{
    if (!path)
        return std::string();
    static const char kFdDir[] = "/proc/self/fd/";
    if (std::strncmp(path, kFdDir, sizeof kFdDir - 1) == 0)
        return pathOfFd(std::atoi(path + sizeof kFdDir - 1));
    return path;
}

class Call
{
public:
    // Counts the call when it touches the armed directory; fail() then says whether to fail it.
    Call(const char *what, const std::string &path, const std::string &other = std::string(),
         long long bytes = -1)
    {
        State &s = state();
        if (inWrapper || !s.armed.load())
            return;
        inWrapper = true;
        std::lock_guard<std::recursive_mutex> lock(s.mutex);
        const bool inside = below(path) || below(other);
        if (inside) {
            QString entry = QString::fromLatin1(what) + QLatin1Char(' ') + relative(path);
            if (!other.empty())
                entry += QLatin1Char(' ') + relative(other);
            if (bytes >= 0)
                entry += QLatin1Char(' ') + QString::number(bytes);
            s.calls << entry;
            // A disk that broke stays broken: every later call fails too.
            if (++s.count >= s.failFrom && s.failFrom > 0) {
                if (s.failed.isEmpty())
                    s.failed = entry;
                m_fail = true;
            }
        }
        inWrapper = false;
    }

    bool fail() const { return m_fail; }

private:
    // The directory itself counts too: an unnamed temporary file is opened on it.
    static bool below(const std::string &path)
    {
        const std::string &dir = state().dir;
        return !path.empty()
               && (path.compare(0, dir.size(), dir) == 0 || path == dir.substr(0, dir.size() - 1));
    }

    static QString relative(const std::string &path)
    {
        const std::string &dir = state().dir;
        if (path.compare(0, dir.size(), dir) == 0)
            return QString::fromStdString(path.substr(dir.size()));
        return QString::fromStdString(path);
    }

    bool m_fail = false;
};

bool wantsWrite(int flags)
{
    return (flags & (O_WRONLY | O_RDWR | O_CREAT | O_TRUNC)) != 0;
}

mode_t modeArgument(int flags, va_list args)
{
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? mode_t(va_arg(args, int)) : 0;
}

int failWith(int error)
{
    errno = error;
    return -1;
}

template <typename Open>
int openFile(const char *name, Open realOpen, int dirFd, const char *path, int flags, mode_t mode)
{
    if (wantsWrite(flags) && path && path[0] == '/') {
        Call call(name, path);
        if (call.fail())
            return failWith(ENOSPC);
    }
    (void)dirFd;
    return realOpen(path, flags, mode);
}

} // namespace

namespace iofaults {

void arm(const QString &dir, int failFrom)
{
    State &s = state();
    std::lock_guard<std::recursive_mutex> lock(s.mutex);
    s.dir = dir.toStdString();
    if (s.dir.empty() || s.dir.back() != '/')
        s.dir += '/';
    s.failFrom = failFrom;
    s.count = 0;
    s.calls.clear();
    s.failed.clear();
    s.armed = true;
}

void disarm()
{
    state().armed = false;
}

QStringList calls()
{
    State &s = state();
    std::lock_guard<std::recursive_mutex> lock(s.mutex);
    return s.calls;
}

QString failedCall()
{
    State &s = state();
    std::lock_guard<std::recursive_mutex> lock(s.mutex);
    return s.failed;
}

} // namespace iofaults

extern "C" {

int open(const char *path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeArgument(flags, args);
    va_end(args);
    static const auto real = next<int (*)(const char *, int, ...)>("open");
    return openFile("open", [](const char *p, int f, mode_t m) { return real(p, f, m); }, AT_FDCWD,
                    path, flags, mode);
}

int open64(const char *path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeArgument(flags, args);
    va_end(args);
    static const auto real = next<int (*)(const char *, int, ...)>("open64");
    return openFile("open", [](const char *p, int f, mode_t m) { return real(p, f, m); }, AT_FDCWD,
                    path, flags, mode);
}

int openat(int dirFd, const char *path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeArgument(flags, args);
    va_end(args);
    static const auto real = next<int (*)(int, const char *, int, ...)>("openat");
    if (wantsWrite(flags) && path[0] == '/') {
        Call call("open", path);
        if (call.fail())
            return failWith(ENOSPC);
    }
    return real(dirFd, path, flags, mode);
}

int openat64(int dirFd, const char *path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeArgument(flags, args);
    va_end(args);
    static const auto real = next<int (*)(int, const char *, int, ...)>("openat64");
    if (wantsWrite(flags) && path[0] == '/') {
        Call call("open", path);
        if (call.fail())
            return failWith(ENOSPC);
    }
    return real(dirFd, path, flags, mode);
}

ssize_t write(int fd, const void *buffer, size_t count)
{
    static const auto real = next<ssize_t (*)(int, const void *, size_t)>("write");
    if (state().armed.load() && !inWrapper) {
        Call call("write", pathOfFd(fd), std::string(), (long long)count);
        if (call.fail())
            return failWith(ENOSPC);
    }
    return real(fd, buffer, count);
}

ssize_t pwrite64(int fd, const void *buffer, size_t count, off64_t offset)
{
    static const auto real = next<ssize_t (*)(int, const void *, size_t, off64_t)>("pwrite64");
    if (state().armed.load() && !inWrapper) {
        Call call("write", pathOfFd(fd), std::string(), (long long)count);
        if (call.fail())
            return failWith(ENOSPC);
    }
    return real(fd, buffer, count, offset);
}

ssize_t writev(int fd, const struct iovec *vector, int count)
{
    static const auto real = next<ssize_t (*)(int, const struct iovec *, int)>("writev");
    if (state().armed.load() && !inWrapper) {
        Call call("writev", pathOfFd(fd));
        if (call.fail())
            return failWith(ENOSPC);
    }
    return real(fd, vector, count);
}

int ftruncate64(int fd, off64_t length)
{
    static const auto real = next<int (*)(int, off64_t)>("ftruncate64");
    if (state().armed.load() && !inWrapper) {
        Call call("ftruncate", pathOfFd(fd), std::string(), (long long)length);
        if (call.fail())
            return failWith(ENOSPC);
    }
    return real(fd, length);
}

int fsync(int fd)
{
    static const auto real = next<int (*)(int)>("fsync");
    if (state().armed.load() && !inWrapper) {
        Call call("fsync", pathOfFd(fd));
        if (call.fail())
            return failWith(EIO);
    }
    return real(fd);
}

int fdatasync(int fd)
{
    static const auto real = next<int (*)(int)>("fdatasync");
    if (state().armed.load() && !inWrapper) {
        Call call("fdatasync", pathOfFd(fd));
        if (call.fail())
            return failWith(EIO);
    }
    return real(fd);
}

int close(int fd)
{
    static const auto real = next<int (*)(int)>("close");
    if (state().armed.load() && !inWrapper) {
        Call call("close", pathOfFd(fd));
        if (call.fail()) {
            // As on Linux: the descriptor is gone even when close reports an error.
            real(fd);
            return failWith(EIO);
        }
    }
    return real(fd);
}

int rename(const char *from, const char *to)
{
    static const auto real = next<int (*)(const char *, const char *)>("rename");
    if (state().armed.load() && !inWrapper) {
        Call call("rename", resolve(from), resolve(to));
        if (call.fail())
            return failWith(EIO);
    }
    return real(from, to);
}

int renameat(int fromDir, const char *from, int toDir, const char *to)
{
    static const auto real = next<int (*)(int, const char *, int, const char *)>("renameat");
    if (state().armed.load() && !inWrapper) {
        Call call("rename", resolve(from), resolve(to));
        if (call.fail())
            return failWith(EIO);
    }
    return real(fromDir, from, toDir, to);
}

int renameat2(int fromDir, const char *from, int toDir, const char *to, unsigned int flags)
{
    static const auto real =
        next<int (*)(int, const char *, int, const char *, unsigned int)>("renameat2");
    if (state().armed.load() && !inWrapper) {
        Call call("rename", resolve(from), resolve(to));
        if (call.fail())
            return failWith(EIO);
    }
    return real(fromDir, from, toDir, to, flags);
}

int linkat(int fromDir, const char *from, int toDir, const char *to, int flags)
{
    static const auto real = next<int (*)(int, const char *, int, const char *, int)>("linkat");
    if (state().armed.load() && !inWrapper) {
        Call call("link", resolve(from), resolve(to));
        if (call.fail())
            return failWith(EIO);
    }
    return real(fromDir, from, toDir, to, flags);
}

} // extern "C"
