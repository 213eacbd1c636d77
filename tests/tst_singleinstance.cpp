// SPDX-License-Identifier: LGPL-3.0-or-later
// One running copy at a time, with the real executable. Every process on this machine shares
// the key "Tool", so CTest runs this suite under a resource lock.
#include "instancemarker.h"
#include "x11close.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QSharedMemory>
#include <QStandardPaths>
#include <QTest>
#include <QThread>

#include <memory>
#include <vector>

namespace {

const QString kKey = instanceMarkerKey();

// Whether some process holds the marker segment. An attach by a test is harmless: the
// segment outlives our detach as long as its owner is attached.
bool markerHeld()
{
    QSharedMemory marker(kKey);
    if (!marker.attach(QSharedMemory::ReadOnly))
        return false;
    marker.detach();
    return true;
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void secondStartIsRefused();
    void simultaneousStarts_data();
    void simultaneousStarts();
    void newStartAfterWindowClosed();

private:
    QProcess *start(const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());
    bool waitForMarker(QProcess *owner);
    static void checkRefused(QProcess *p);

    std::vector<std::unique_ptr<QProcess>> processes;
    std::unique_ptr<QProcess> xvfb;
};

void TestSingleInstance::initTestCase()
{
    QVERIFY(QFile::exists(QStringLiteral(CARDTOOL_EXE)));
    clearStaleInstanceMarker();
    if (markerHeld())
        QSKIP("A copy of the tool outside this test holds the key \"Tool\".");
}

void TestSingleInstance::cleanup()
{
    for (auto &p : processes) {
        if (p->state() != QProcess::NotRunning) {
            p->kill();
            p->waitForFinished(10000);
        }
    }
    processes.clear();
    clearStaleInstanceMarker();
    QVERIFY(!markerHeld());
    if (xvfb) {
        xvfb->terminate();
        if (!xvfb->waitForFinished(10000)) {
            xvfb->kill();
            xvfb->waitForFinished();
        }
        xvfb.reset();
    }
}

QProcess *TestSingleInstance::start(const QProcessEnvironment &env)
{
    processes.push_back(std::make_unique<QProcess>());
    QProcess *p = processes.back().get();
    p->setProcessEnvironment(env);
    p->start(QStringLiteral(CARDTOOL_EXE), QStringList());
    return p;
}

// Waits until the marker exists while `owner` runs: then `owner` is the copy that runs.
bool TestSingleInstance::waitForMarker(QProcess *owner)
{
    if (!owner->waitForStarted(10000))
        return false;
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        // A copy that died after creating the marker leaves it behind: check it still runs.
        if (markerHeld())
            return owner->state() == QProcess::Running;
        if (owner->state() != QProcess::Running)
            return false;
        QTest::qWait(20);
    }
    return false;
}

void TestSingleInstance::checkRefused(QProcess *p)
{
    QCOMPARE(p->exitStatus(), QProcess::NormalExit);
    QCOMPARE(p->exitCode(), 0);
    const QByteArray err = p->readAllStandardError();
    QVERIFY2(err.contains("App is running\n"), err.constData());
    QVERIFY(p->readAllStandardOutput().isEmpty());
}

void TestSingleInstance::secondStartIsRefused()
{
    QProcess *first = start();
    QVERIFY(waitForMarker(first));

    QProcess *second = start();
    QVERIFY(second->waitForFinished(20000));
    checkRefused(second);

    // The first copy is unaffected and still holds the marker.
    QTest::qWait(200);
    QCOMPARE(first->state(), QProcess::Running);
    QVERIFY(markerHeld());
}

void TestSingleInstance::simultaneousStarts_data()
{
    QTest::addColumn<int>("count");
    QTest::newRow("two at once") << 2;
    QTest::newRow("five at once") << 5;
}

void TestSingleInstance::simultaneousStarts()
{
    QFETCH(int, count);

    QList<QProcess *> started;
    for (int i = 0; i < count; ++i)
        started << start();
    for (QProcess *p : started)
        QVERIFY(p->waitForStarted(10000));

    // All but one give way; the one left is the copy that holds the marker.
    QDeadlineTimer deadline(30000);
    auto finished = [&started] {
        int n = 0;
        for (QProcess *p : started)
            n += p->state() == QProcess::NotRunning;
        return n;
    };
    while (finished() < count - 1 && !deadline.hasExpired())
        QTest::qWait(20);
    QTest::qWait(300);
    QCOMPARE(finished(), count - 1);

    QProcess *runner = nullptr;
    for (QProcess *p : started) {
        if (p->state() == QProcess::Running)
            runner = p;
        else
            checkRefused(p);
    }
    QVERIFY(runner);
    QVERIFY(waitForMarker(runner));
}

void TestSingleInstance::newStartAfterWindowClosed()
{
    const QString server = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (server.isEmpty())
        QSKIP("Closing the window as an operator does needs Xvfb.");

    // An X server of our own, so that the window can be closed the way a user closes it.
    xvfb = std::make_unique<QProcess>();
    xvfb->setProcessChannelMode(QProcess::SeparateChannels);
    xvfb->start(server, { QStringLiteral("-displayfd"), QStringLiteral("1"),
                          QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                          QStringLiteral("-screen"), QStringLiteral("0"),
                          QStringLiteral("1280x1024x24") });
    QVERIFY(xvfb->waitForStarted(10000));
    QByteArray number;
    QDeadlineTimer deadline(20000);
    while (!number.endsWith('\n') && !deadline.hasExpired()) {
        xvfb->waitForReadyRead(100);
        number += xvfb->readAllStandardOutput();
        QVERIFY(xvfb->state() == QProcess::Running);
    }
    QVERIFY2(number.endsWith('\n'), "Xvfb gave no display number");
    const QByteArray display = ':' + number.trimmed();

    QProcessEnvironment xcb = QProcessEnvironment::systemEnvironment();
    xcb.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    xcb.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
    // libxkbcommon-x11 hands strndup a name without a terminating zero, which is legal but
    // trips AddressSanitizer's strict string checks in the sanitizer build.
    const QString asan = xcb.value(QStringLiteral("ASAN_OPTIONS"));
    if (!asan.isEmpty())
        xcb.insert(QStringLiteral("ASAN_OPTIONS"),
                   QString(asan).replace(QStringLiteral("strict_string_checks=1"),
                                         QStringLiteral("strict_string_checks=0")));
    QProcess *first = start(xcb);
    QVERIFY(waitForMarker(first));

    QVERIFY(closeWindowOf(display, first->processId(), 20000));
    QVERIFY(first->waitForFinished(20000));
    // A window simply closed ends the event loop with 0, and the marker goes with the process.
    const QByteArray err = first->readAllStandardError();
    QVERIFY2(first->exitStatus() == QProcess::NormalExit, err.constData());
    QCOMPARE(first->exitCode(), 0);
    QVERIFY(!markerHeld());

    QProcess *next = start();
    QVERIFY(waitForMarker(next));
    QTest::qWait(200);
    QCOMPARE(next->state(), QProcess::Running);
    QVERIFY(!next->readAllStandardError().contains("App is running"));
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
