// SPDX-License-Identifier: LGPL-3.0-or-later
// Whole-file reads and writes for test fixtures.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Empty when the file cannot be read.
inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
