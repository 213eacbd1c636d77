// SPDX-License-Identifier: LGPL-3.0-or-later
// Test access to the main window's private state (Widget befriends this class).
#pragma once

#include "form.h"
#include "usb.h"
#include "widget.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>

class WidgetInspector
{
public:
    static Ui_Widget *ui(Widget &w) { return w.ui; }
    static Usb *usb(Widget &w) { return w.usb; }
    static Usb *&usbSlot(Widget &w) { return w.usb; } // to run the window without a USB link
    static QString &imagePath(Widget &w) { return w.imagePath; }
    static QString &appDir(Widget &w) { return w.appDir; }
    static QString &fwPath(Widget &w) { return w.fwPath; }
    static FIBITMAP *bitmap(Widget &w) { return w.bitmap; }
    static int maxL(Widget &w) { return w.maxL; }
    static int minL(Widget &w) { return w.minL; }
    static float scaleX(Widget &w) { return w.scaleX; }
    static float scaleY(Widget &w) { return w.scaleY; }
    static int imageMaxL(Widget &w) { return w.imageMaxL; }
    static int imageMinL(Widget &w) { return w.imageMinL; }

    // Template slots 0 to 3: print front, print back, erase front, erase back.
    static QPushButton *slotButton(Widget &w, int slot)
    {
        QPushButton *const buttons[] = {w.ui->pushButtonzm, w.ui->pushButtonbm,
                                        w.ui->pushButtonzm1, w.ui->pushButtonbm1};
        return buttons[slot];
    }
    static QLabel *slotLabel(Widget &w, int slot)
    {
        QLabel *const labels[] = {w.ui->label1, w.ui->label2, w.ui->label3, w.ui->label4};
        return labels[slot];
    }

    // Windows built from now on find their application directory from `link`'s target
    // instead of "/proc/self/exe"; an empty string restores the default.
    static void setExecutableLink(const QString &link)
    {
        Widget::selfExeLink = link.isEmpty() ? QStringLiteral("/proc/self/exe") : link;
    }

    // Windows built from now on use `dir` as their application directory (configTool.ini and
    // the templates), through a link in `dir` that names an executable there.
    static bool setAppDir(const QString &dir)
    {
        const QString link = dir + QStringLiteral("/.executable-link");
        QFile::remove(link);
        if (!QFile::link(dir + QStringLiteral("/cardtool"), link))
            return false;
        setExecutableLink(link);
        return true;
    }
};
