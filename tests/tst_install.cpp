// SPDX-License-Identifier: LGPL-3.0-or-later
// `cmake --install` into a temporary root with the package's prefix, then the installed tool
// started through its launcher on the PATH, the way the desktop entry starts it.
#include "instancemarker.h"
#include "windowtitle.h"
#include "x11close.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace

class tst_Install : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void layout_data();
    void layout();
    void launcherLeadsToTheToolsDirectory();
    void reinstallKeepsTheOperatorsConfiguration();
    void installedToolRunsWithItsConfiguration();
    void cleanupTestCase();

private:
    bool install(QByteArray *log);
    QString appDir() const { return root.filePath(QStringLiteral("usr/lib/cardtool")); }

    QTemporaryDir root;
    std::unique_ptr<QProcess> xvfb;
};

bool tst_Install::install(QByteArray *log)
{
    QProcess cmake;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DESTDIR"), root.path());
    cmake.setProcessEnvironment(env);
    cmake.setProcessChannelMode(QProcess::MergedChannels);
    cmake.start(QStringLiteral(CMAKE_COMMAND),
                {QStringLiteral("--install"), QStringLiteral(CARDTOOL_BUILD_DIR),
                 QStringLiteral("--prefix"), QStringLiteral("/usr")});
    const bool done = cmake.waitForFinished(120000);
    *log = cmake.readAll();
    return done && cmake.exitStatus() == QProcess::NormalExit && cmake.exitCode() == 0;
}

void tst_Install::initTestCase()
{
    // A copy killed earlier must not make the installed tool refuse to start.
    clearStaleInstanceMarker();
    QVERIFY(root.isValid());
    QByteArray log;
    QVERIFY2(install(&log), log.constData());
}

void tst_Install::layout_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("sameAs"); // source file with the same content, or empty
    QTest::addColumn<bool>("executable");

    const QString src = QStringLiteral(CARDTOOL_SOURCE_DIR);
    QTest::newRow("executable in its own directory") << "usr/lib/cardtool/cardtool" << QString() << true;
    QTest::newRow("default configuration beside it")
        << "usr/lib/cardtool/configTool.ini" << src + "/resources/configTool.ini" << false;
    QTest::newRow("udev rule") << "usr/lib/udev/rules.d/70-cardtool.rules"
                               << src + "/packaging/70-cardtool.rules" << false;
    QTest::newRow("desktop entry")
        << "usr/share/applications/io.github.cardtool.CardTool.desktop"
        << src + "/packaging/io.github.cardtool.CardTool.desktop" << false;
    QTest::newRow("metainfo") << "usr/share/metainfo/io.github.cardtool.CardTool.metainfo.xml"
                              << src + "/packaging/io.github.cardtool.CardTool.metainfo.xml" << false;
    QTest::newRow("icon") << "usr/share/icons/hicolor/scalable/apps/io.github.cardtool.CardTool.svg"
                          << src + "/packaging/io.github.cardtool.CardTool.svg" << false;
    QTest::newRow("manual page") << "usr/share/man/man1/cardtool.1.gz" << QString() << false;
    QTest::newRow("copyright") << "usr/share/doc/cardtool/copyright"
                               << src + "/packaging/copyright" << false;
}

void tst_Install::layout()
{
    QFETCH(QString, path);
    QFETCH(QString, sameAs);
    QFETCH(bool, executable);

    const QFileInfo info(root.filePath(path));
    QVERIFY2(info.isFile() && !info.isSymLink(), qPrintable(path));
    QCOMPARE(info.isExecutable(), executable);
    if (!sameAs.isEmpty())
        QCOMPARE(fileBytes(info.filePath()), fileBytes(sameAs));
    else
        QVERIFY(info.size() > 0);
}

void tst_Install::launcherLeadsToTheToolsDirectory()
{
    const QFileInfo launcher(root.filePath(QStringLiteral("usr/bin/cardtool")));
    QVERIFY(launcher.isSymLink());
    // Relative, so that the tree works wherever it is unpacked (DESTDIR, a package).
    const QString target = QFile::symLinkTarget(launcher.filePath());
    QCOMPARE(QDir(launcher.path()).relativeFilePath(target), QStringLiteral("../lib/cardtool/cardtool"));
    QCOMPARE(launcher.canonicalFilePath(), QFileInfo(appDir() + "/cardtool").canonicalFilePath());
}

void tst_Install::reinstallKeepsTheOperatorsConfiguration()
{
    const QString ini = appDir() + QStringLiteral("/configTool.ini");
    QByteArray edited = fileBytes(ini);
    QVERIFY(edited.contains("MAXL=1016"));
    edited.replace("MAXL=1016", "MAXL=1024");
    QVERIFY(writeFile(ini, edited));

    QByteArray log;
    QVERIFY2(install(&log), log.constData());
    QCOMPARE(fileBytes(ini), edited);

    // Without the file, the default comes back.
    QVERIFY(QFile::remove(ini));
    QVERIFY2(install(&log), log.constData());
    QCOMPARE(fileBytes(ini), fileBytes(QStringLiteral(CARDTOOL_SOURCE_DIR "/resources/configTool.ini")));
}

// The title comes from the configuration; a title unique to this run proves that the tool
// found the file beside the launcher's target and no other.
void tst_Install::installedToolRunsWithItsConfiguration()
{
    const QString server = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    QVERIFY2(!server.isEmpty(), "Xvfb is needed (scripts/deps.sh test installs it)");

    const QString title = QStringLiteral("安装测试 %1").arg(QCoreApplication::applicationPid());
    const QString ini = appDir() + QStringLiteral("/configTool.ini");
    QByteArray config = fileBytes(ini);
    const int at = config.indexOf("TITLE=");
    QVERIFY(at >= 0);
    config.replace(at, config.indexOf('\n', at) - at, "TITLE=" + title.toUtf8());
    QVERIFY(writeFile(ini, config));

    xvfb = std::make_unique<QProcess>();
    xvfb->start(server, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                         QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                         QStringLiteral("1024x900x24")});
    QVERIFY(xvfb->waitForStarted(10000));
    QByteArray number;
    QDeadlineTimer deadline(20000);
    while (!number.endsWith('\n') && !deadline.hasExpired() && xvfb->state() == QProcess::Running) {
        xvfb->waitForReadyRead(100);
        number += xvfb->readAllStandardOutput();
    }
    QVERIFY2(number.endsWith('\n'), "Xvfb gave no display number");
    const QByteArray display = ':' + number.trimmed();

    const QString bin = root.filePath(QStringLiteral("usr/bin"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PATH"), bin + QLatin1Char(':') + env.value(QStringLiteral("PATH")));
    env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    const QString launcher = QStandardPaths::findExecutable(QStringLiteral("cardtool"), {bin});
    QCOMPARE(launcher, bin + QStringLiteral("/cardtool"));

    QProcess tool;
    tool.setProcessEnvironment(env);
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(launcher, QStringList());
    QVERIFY(tool.waitForStarted(10000));

    const QString shown = windowTitleOf(display, tool.processId(), 20000);
    const QByteArray output = tool.readAll();
    QVERIFY2(!output.contains("App is running"), "another copy of the tool holds the key \"Tool\"");
    QCOMPARE(shown, title);
    QCOMPARE(QFileInfo(QStringLiteral("/proc/%1/exe").arg(tool.processId())).canonicalFilePath(),
             QFileInfo(appDir() + QStringLiteral("/cardtool")).canonicalFilePath());

    // Closed as a user closes it, so that the single-instance marker goes with the process.
    QVERIFY(closeWindowOf(display, tool.processId(), 10000));
    QVERIFY(tool.waitForFinished(20000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 0);
}

void tst_Install::cleanupTestCase()
{
    if (xvfb) {
        xvfb->terminate();
        if (!xvfb->waitForFinished(10000)) {
            xvfb->kill();
            xvfb->waitForFinished();
        }
    }
}

QTEST_GUILESS_MAIN(tst_Install)
#include "tst_install.moc"
