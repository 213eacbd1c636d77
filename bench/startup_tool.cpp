// SPDX-License-Identifier: LGPL-3.0-or-later
// The tool's own start-up path (single-instance guard, window, configuration, stored
// templates, USB context) up to its first painted frame.
#include "firstpaint.h"
#include "widget.h"

#include <QSharedMemory>

int main(int argc, char **argv)
{
    QSharedMemory marker;
    marker.setKey(QStringLiteral("Tool"));
    if (marker.attach(QSharedMemory::ReadWrite) || !marker.create(1, QSharedMemory::ReadWrite))
        return 2;
    QApplication app(argc, argv);
    Widget window;
    FirstPaintProbe probe(&window);
    window.show();
    return app.exec();
}
