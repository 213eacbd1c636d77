// SPDX-License-Identifier: LGPL-3.0-or-later
// Prints the wall-clock time (ns since the epoch) at which a top-level window has painted its
// first frame, then quits: the start-up benchmark compares that with its own launch time.
#pragma once

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <ctime>

class FirstPaintProbe : public QObject
{
public:
    explicit FirstPaintProbe(QWidget *window)
        : m_window(window)
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            // Record once the paint has been flushed to the X server.
            QTimer::singleShot(0, [] {
                timespec ts;
                clock_gettime(CLOCK_REALTIME, &ts);
                std::printf("%lld\n", static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec);
                std::fflush(stdout);
                QApplication::quit();
            });
        }
        return false;
    }

private:
    QWidget *m_window;
    bool m_seen = false;
};
