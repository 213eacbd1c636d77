// SPDX-License-Identifier: LGPL-3.0-or-later
// Resident memory of the running process, read from /proc/self/status.
#pragma once

#include <QByteArray>
#include <QFile>

#include <chrono>
#include <ctime>

namespace bench {

// A field of /proc/self/status in KiB ("VmRSS", "VmHWM"); -1 when it cannot be read.
inline qint64 statusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    const QList<QByteArray> lines = status.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Sets VmHWM back to the current VmRSS, so that a later VmHWM is the peak of what follows.
inline bool resetPeakRss()
{
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    return clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
}

inline double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// CPU time of every thread of this process so far.
inline double processCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

} // namespace bench
