// SPDX-License-Identifier: LGPL-3.0-or-later
// Builds the main window and prints the application directory it found and its title, one
// per line, so that a test can run this executable from wherever it copies or links it.
#include "widgetinspector.h"

#include <QApplication>
#include <QTextStream>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    Widget window;
    QTextStream out(stdout);
    out.setCodec("UTF-8");
    out << WidgetInspector::appDir(window) << '\n' << window.windowTitle() << '\n';
    return 0;
}
