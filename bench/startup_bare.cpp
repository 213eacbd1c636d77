// SPDX-License-Identifier: LGPL-3.0-or-later
// The yardstick for start-up: a bare Qt Widgets program that shows an empty 465 x 790 window.
#include "firstpaint.h"

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setFixedSize(465, 790);
    FirstPaintProbe probe(&window);
    window.show();
    return app.exec();
}
