// SPDX-License-Identifier: LGPL-3.0-or-later
// Closes a process's window on an X server the way a window manager's close button does.
#pragma once

#include <QByteArray>
#include <QtGlobal>

// Sends WM_DELETE_WINDOW to the mapped top-level window of process `pid` on `display`,
// waiting up to `timeoutMs` for the window to appear. False if none appeared.
bool closeWindowOf(const QByteArray &display, qint64 pid, int timeoutMs);
