// SPDX-License-Identifier: LGPL-3.0-or-later
// Entry point: one running copy at a time, then the main window.
#include "widget.h"

#include <QApplication>
#include <QDebug>
#include <QSharedMemory>

int main(int argc, char **argv)
{
    // The segment marks a running copy by existing; its content is never used.
    QSharedMemory instanceMarker;
    instanceMarker.setKey(QStringLiteral("Tool"));

    if (instanceMarker.attach(QSharedMemory::ReadWrite)
        || !instanceMarker.create(1, QSharedMemory::ReadWrite)) {
        qDebug() << "App is running";
        instanceMarker.detach();
        return 0;
    }

    QApplication app(argc, argv);
    Widget window;
    window.show();
    return app.exec();
}
