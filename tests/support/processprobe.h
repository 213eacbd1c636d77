// SPDX-License-Identifier: LGPL-3.0-or-later
// What the test process holds right now: open file descriptors and resident memory.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QThread>

namespace processprobe {

// Open descriptors, without the one that lists them.
inline int openFileDescriptors()
{
    return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::System
                                                           | QDir::NoDotAndDotDot).size()
           - 1;
}

// The count once it equals `expected`, or after `waitMs` the count then. Other threads
// (libusb's event thread, the emulator's worker) may hold a descriptor for a moment; a
// leaked one never goes away.
inline int openFileDescriptorsSettlingAt(int expected, int waitMs = 2000)
{
    QElapsedTimer timer;
    timer.start();
    int count = openFileDescriptors();
    while (count != expected && timer.elapsed() < waitMs) {
        QThread::msleep(10);
        count = openFileDescriptors();
    }
    return count;
}

// The fewest descriptors seen over a short while: a baseline without passing ones.
inline int quietOpenFileDescriptors()
{
    int fewest = openFileDescriptors();
    for (int i = 0; i < 5; ++i) {
        QThread::msleep(20);
        fewest = qMin(fewest, openFileDescriptors());
    }
    return fewest;
}

// What the descriptors refer to ("/dev/null", "socket:[1234]", ...), for a message on a leak.
inline QStringList openFileTargets()
{
    QStringList targets;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString &fd : fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        targets << fd + QStringLiteral(" -> ") + QFile::symLinkTarget(fds.filePath(fd));
    return targets;
}

// VmRSS of /proc/self/status in KiB; -1 when it cannot be read.
inline long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// Whether the process was built with AddressSanitizer, whose shadow memory and quarantine
// make resident memory say nothing about the program's own use.
constexpr bool underAddressSanitizer()
{
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#else
    return false;
#endif
#else
    return false;
#endif
}

} // namespace processprobe
