// SPDX-License-Identifier: LGPL-3.0-or-later
// Kept apart from Qt code: Xlib's macros (None, Bool, Status...) clash with Qt's names.
#include "x11close.h"

#include <QDeadlineTimer>
#include <QThread>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

bool closeWindowOf(const QByteArray &display, qint64 pid, int timeoutMs)
{
    Display *dpy = XOpenDisplay(display.constData());
    if (!dpy)
        return false;
    const Atom pidAtom = XInternAtom(dpy, "_NET_WM_PID", False);
    const Atom protocols = XInternAtom(dpy, "WM_PROTOCOLS", False);
    const Atom deleteWindow = XInternAtom(dpy, "WM_DELETE_WINDOW", False);

    bool sent = false;
    QDeadlineTimer deadline(timeoutMs);
    while (!sent && !deadline.hasExpired()) {
        Window root = DefaultRootWindow(dpy);
        Window rootReturn = 0;
        Window parent = 0;
        Window *children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(dpy, root, &rootReturn, &parent, &children, &count)) {
            for (unsigned int i = 0; i < count && !sent; ++i) {
                XWindowAttributes attributes;
                if (!XGetWindowAttributes(dpy, children[i], &attributes)
                    || attributes.map_state != IsViewable)
                    continue;
                Atom type = 0;
                int format = 0;
                unsigned long items = 0;
                unsigned long after = 0;
                unsigned char *data = nullptr;
                if (XGetWindowProperty(dpy, children[i], pidAtom, 0, 1, False, XA_CARDINAL, &type,
                                       &format, &items, &after, &data) == Success
                    && data && items == 1 && format == 32
                    && qint64(*reinterpret_cast<unsigned long *>(data)) == pid) {
                    XEvent event = {};
                    event.xclient.type = ClientMessage;
                    event.xclient.window = children[i];
                    event.xclient.message_type = protocols;
                    event.xclient.format = 32;
                    event.xclient.data.l[0] = long(deleteWindow);
                    event.xclient.data.l[1] = CurrentTime;
                    sent = XSendEvent(dpy, children[i], False, NoEventMask, &event) != 0;
                }
                if (data)
                    XFree(data);
            }
            if (children)
                XFree(children);
        }
        if (!sent)
            QThread::msleep(50);
    }
    XSync(dpy, False);
    XCloseDisplay(dpy);
    return sent;
}

