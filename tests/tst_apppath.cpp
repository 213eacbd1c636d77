// SPDX-License-Identifier: LGPL-3.0-or-later
// The application directory: from the real executable started through a link and from a deep
// directory, and from links of chosen lengths read in process.
#include "widgetinspector.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

bool writeIni(const QString &dir, const QString &title)
{
    QFile file(dir + QStringLiteral("/configTool.ini"));
    const QByteArray bytes = "[CONFIG_PRINTER]\nTITLE=" + title.toUtf8() + '\n';
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A directory path under `base` of at least `length` bytes, made of 50-byte components.
QString deepPath(const QString &base, int length)
{
    QString path = base;
    int n = 0;
    while (path.toUtf8().size() < length)
        path += QStringLiteral("/%1").arg(++n, 49, 10, QLatin1Char('d'));
    return path;
}

struct ProbeRun
{
    bool finished = false;
    int exitCode = -1;
    QString appDir;
    QString title;
};

ProbeRun runProbe(const QString &program)
{
    ProbeRun run;
    QProcess probe;
    probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    probe.start(program, QStringList());
    run.finished = probe.waitForFinished(30000);
    if (!run.finished) {
        probe.kill();
        probe.waitForFinished();
        return run;
    }
    run.exitCode = probe.exitCode();
    const QStringList lines = QString::fromUtf8(probe.readAllStandardOutput()).split(QLatin1Char('\n'));
    run.appDir = lines.value(0);
    run.title = lines.value(1);
    return run;
}

} // namespace

class TestAppPath : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void realExecutable_data();
    void realExecutable();
    void linkTarget_data();
    void linkTarget();
    void unreadableLinkLeavesDirectoryEmpty();

private:
    std::unique_ptr<QTemporaryDir> tmp;
};

void TestAppPath::init()
{
    tmp = std::make_unique<QTemporaryDir>();
    QVERIFY(tmp->isValid());
}

void TestAppPath::cleanup()
{
    WidgetInspector::setExecutableLink(QString());
    tmp.reset();
}

void TestAppPath::realExecutable_data()
{
    QTest::addColumn<int>("depth");     // minimum length of the executable's directory, bytes
    QTest::addColumn<bool>("viaLink");  // started through a symbolic link in another directory

    QTest::newRow("short path, started directly") << 0 << false;
    QTest::newRow("short path, through a link") << 0 << true;
    QTest::newRow("path of 300 bytes") << 300 << false;
    QTest::newRow("path of 1100 bytes, through a link") << 1100 << true;
}

void TestAppPath::realExecutable()
{
    QFETCH(int, depth);
    QFETCH(bool, viaLink);

    const QString base = QDir(tmp->path()).canonicalPath();
    const QString exeDir = deepPath(base + QStringLiteral("/bin"), depth);
    QVERIFY(QDir().mkpath(exeDir));
    const QString exe = exeDir + QStringLiteral("/apppath_probe");
    QVERIFY(QFile::copy(QStringLiteral(APPPATH_PROBE_EXE), exe));
    QVERIFY(writeIni(exeDir, QStringLiteral("beside the executable")));

    QString program = exe;
    if (viaLink) {
        const QString linkDir = base + QStringLiteral("/links");
        QVERIFY(QDir().mkpath(linkDir));
        QVERIFY(writeIni(linkDir, QStringLiteral("beside the link")));
        program = linkDir + QStringLiteral("/cardtool");
        QVERIFY(QFile::link(exe, program));
    }

    const ProbeRun run = runProbe(program);
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.appDir, exeDir);
    // The configuration comes from the target's directory, not the link's.
    QCOMPARE(run.title, QStringLiteral("beside the executable"));
}

void TestAppPath::linkTarget_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("expected");

    // Lengths around the old 256-byte buffer and well past it; the targets need not exist.
    for (int length : { 255, 256, 257, 511, 512, 513, 4000 }) {
        const QString dir = QStringLiteral("/") + QString(length - 10, QLatin1Char('x'));
        const QString target = dir + QStringLiteral("/cardtool");
        QCOMPARE(target.size(), length);
        QTest::addRow("target of %d bytes", length) << target << dir;
    }
    QTest::newRow("executable in the root directory") << "/cardtool" << "";
    QTest::newRow("UTF-8 directory name") << QStringLiteral("/opt/卡片工具/cardtool")
                                          << QStringLiteral("/opt/卡片工具");
    QTest::newRow("no trailing slash kept") << "/opt/tool/bin/cardtool" << "/opt/tool/bin";
}

void TestAppPath::linkTarget()
{
    QFETCH(QString, target);
    QFETCH(QString, expected);

    const QString link = tmp->filePath(QStringLiteral("exe"));
    QVERIFY(QFile::link(target, link));
    QCOMPARE(QFile::symLinkTarget(link).isEmpty(), false);

    Widget w;
    WidgetInspector::setExecutableLink(link);
    WidgetInspector::appDir(w).clear();
    w.AppPath();
    QCOMPARE(WidgetInspector::appDir(w), expected);
}

void TestAppPath::unreadableLinkLeavesDirectoryEmpty()
{
    WidgetInspector::setExecutableLink(tmp->filePath(QStringLiteral("missing")));
    Widget w;
    QCOMPARE(WidgetInspector::appDir(w), QString());
    // The configuration is then looked for as /configTool.ini, which is not there.
    QCOMPARE(w.windowTitle(), QString());
}

QTEST_MAIN(TestAppPath)
#include "tst_apppath.moc"
