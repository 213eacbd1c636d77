// SPDX-License-Identifier: LGPL-3.0-or-later
// Reads the title of a process's window on an X server, as a window manager shows it.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// The _NET_WM_NAME of the mapped top-level window of process `pid` on `display`, waiting up
// to `timeoutMs` for such a window to appear; a null string if none appeared.
QString windowTitleOf(const QByteArray &display, qint64 pid, int timeoutMs);
