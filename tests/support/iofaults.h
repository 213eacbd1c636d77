// SPDX-License-Identifier: LGPL-3.0-or-later
// Failure injection for the file calls that change a directory: the executable that links
// iofaults.cpp replaces open, write, fsync, close, rename and their kin for the whole process
// (Qt and FreeImage included) and, while armed, makes those calls fail from the nth on.
#pragma once

#include <QString>
#include <QStringList>

namespace iofaults {

// From now on, count every call that creates, writes, syncs, closes or renames a file below
// `dir` (or opens an unnamed file on `dir` itself), and make the `failFrom`-th of them
// (1-based) and every later one fail, as a disk that fills up or breaks at that moment would.
// A single failure would not do: Qt retries some calls (the link of a new file) under another
// name. failFrom 0 only counts.
void arm(const QString &dir, int failFrom);
void disarm();

// The counted calls since the last arm(), in order: "open <name>", "write <name> <bytes>",
// "fdatasync <name>", "close <name>", "rename <from> <to>", ...; names relative to the
// directory.
QStringList calls();
// The first counted call that was made to fail, or empty when none was.
QString failedCall();

} // namespace iofaults
