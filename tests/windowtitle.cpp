// SPDX-License-Identifier: LGPL-3.0-or-later
// Kept apart from Qt code: Xlib's macros (None, Bool, Status...) clash with Qt's names.
#include "windowtitle.h"

#include <QDeadlineTimer>
#include <QThread>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

QByteArray property(Display *dpy, Window window, Atom name, Atom type, long length)
{
    Atom actualType = 0;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char *data = nullptr;
    QByteArray value;
    if (XGetWindowProperty(dpy, window, name, 0, length, False, type, &actualType, &format,
                           &items, &after, &data) == Success
        && data && actualType == type) {
        const int unit = format == 32 ? int(sizeof(long)) : format / 8;
        value = QByteArray(reinterpret_cast<const char *>(data), int(items) * unit);
    }
    if (data)
        XFree(data);
    return value;
}

} // namespace

QString windowTitleOf(const QByteArray &display, qint64 pid, int timeoutMs)
{
    Display *dpy = XOpenDisplay(display.constData());
    if (!dpy)
        return QString();
    const Atom pidAtom = XInternAtom(dpy, "_NET_WM_PID", False);
    const Atom nameAtom = XInternAtom(dpy, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(dpy, "UTF8_STRING", False);

    QString title;
    QDeadlineTimer deadline(timeoutMs);
    while (title.isNull() && !deadline.hasExpired()) {
        Window rootReturn = 0;
        Window parent = 0;
        Window *children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(dpy, DefaultRootWindow(dpy), &rootReturn, &parent, &children, &count)) {
            for (unsigned int i = 0; i < count && title.isNull(); ++i) {
                XWindowAttributes attributes;
                if (!XGetWindowAttributes(dpy, children[i], &attributes)
                    || attributes.map_state != IsViewable)
                    continue;
                const QByteArray owner = property(dpy, children[i], pidAtom, XA_CARDINAL, 1);
                if (owner.size() != int(sizeof(long))
                    || qint64(*reinterpret_cast<const long *>(owner.constData())) != pid)
                    continue;
                title = QString::fromUtf8(property(dpy, children[i], nameAtom, utf8, 1024));
                if (title.isNull())
                    title = QStringLiteral("");
            }
            if (children)
                XFree(children);
        }
        if (title.isNull())
            QThread::msleep(50);
    }
    XCloseDisplay(dpy);
    return title;
}
