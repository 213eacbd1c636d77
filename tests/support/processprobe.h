// SPDX-License-Identifier: LGPL-3.0-or-later
// What the test process holds right now: open file descriptors and resident memory.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>

namespace processprobe {

// Open descriptors, without the one that lists them.
inline int openFileDescriptors()
{
    return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::System
                                                           | QDir::NoDotAndDotDot).size()
           - 1;
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
