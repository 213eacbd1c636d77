// SPDX-License-Identifier: LGPL-3.0-or-later
// The single-instance marker that the real tool holds while it runs.
#pragma once

#include <QSharedMemory>
#include <QString>

inline QString instanceMarkerKey()
{
    return QStringLiteral("Tool");
}

// A killed copy cannot detach, so its segment stays behind with no one attached and would
// refuse the next start. Attaching and detaching removes such a segment, as Qt does when
// the last user detaches; a segment that a running copy holds is left alone.
inline void clearStaleInstanceMarker()
{
    QSharedMemory marker(instanceMarkerKey());
    if (marker.attach(QSharedMemory::ReadOnly))
        marker.detach();
}
