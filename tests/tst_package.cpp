// SPDX-License-Identifier: LGPL-3.0-or-later
// The Debian package as cpack builds it: its files, its dependencies, its maintainer
// scripts, and lintian's verdict.
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run
{
    bool ok = false;
    QByteArray out;
};

Run run(const QString &program, const QStringList &arguments, int timeoutMs = 300000)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    Run result;
    const bool finished = process.waitForFinished(timeoutMs);
    result.out = process.readAll();
    result.ok = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return result;
}

} // namespace

class tst_Package : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void contents_data();
    void contents();
    void dependencies_data();
    void dependencies();
    void recommendsACjkFont();
    void configurationIsAConffile();
    void postinstOpensTheDirectoryToTheGroup();
    void lintianFindsNothingUnexplained();

private:
    QString field(const QString &name);

    QTemporaryDir work;
    QString deb;
    QStringList listing; // "mode path[ -> target]" per entry of dpkg-deb -c
};

void tst_Package::initTestCase()
{
    for (const char *tool : {"dpkg-deb", "dpkg-shlibdeps", "lintian"})
        QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(),
                 qPrintable(QStringLiteral("%1 is needed (scripts/deps.sh test installs it)").arg(tool)));
    QVERIFY(work.isValid());

    const Run cpack = run(QStringLiteral(CPACK_COMMAND),
                          {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                           QStringLiteral(CARDTOOL_BUILD_DIR "/CPackConfig.cmake"),
                           QStringLiteral("-B"), work.path()});
    QVERIFY2(cpack.ok, cpack.out.constData());
    const QStringList debs = QDir(work.path()).entryList({QStringLiteral("*.deb")}, QDir::Files);
    QCOMPARE(debs.size(), 1);
    deb = work.filePath(debs.first());

    const Run contents = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), deb});
    QVERIFY2(contents.ok, contents.out.constData());
    // "drwxr-xr-x root/root 0 2026-12-11 13:45 ./usr/" -> "drwxr-xr-x /usr/"
    static const QRegularExpression entry(QStringLiteral("^(\\S+)\\s+\\S+\\s+\\d+\\s+\\S+\\s+\\S+\\s+\\.(/.*)$"));
    for (const QString &line : QString::fromUtf8(contents.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch m = entry.match(line);
        QVERIFY2(m.hasMatch(), qPrintable(line));
        listing << m.captured(1) + QLatin1Char(' ') + m.captured(2);
    }
}

QString tst_Package::field(const QString &name)
{
    const Run r = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb, name});
    return r.ok ? QString::fromUtf8(r.out).trimmed() : QString();
}

void tst_Package::contents_data()
{
    QTest::addColumn<QString>("entry");

    QTest::newRow("executable") << "-rwxr-xr-x /usr/lib/cardtool/cardtool";
    QTest::newRow("default configuration") << "-rw-r--r-- /usr/lib/cardtool/configTool.ini";
    QTest::newRow("launcher on the PATH")
        << "lrwxrwxrwx /usr/bin/cardtool -> ../lib/cardtool/cardtool";
    QTest::newRow("udev rule") << "-rw-r--r-- /usr/lib/udev/rules.d/70-cardtool.rules";
    QTest::newRow("desktop entry")
        << "-rw-r--r-- /usr/share/applications/io.github.cardtool.CardTool.desktop";
    QTest::newRow("icon")
        << "-rw-r--r-- /usr/share/icons/hicolor/scalable/apps/io.github.cardtool.CardTool.svg";
    QTest::newRow("metainfo")
        << "-rw-r--r-- /usr/share/metainfo/io.github.cardtool.CardTool.metainfo.xml";
    QTest::newRow("manual page") << "-rw-r--r-- /usr/share/man/man1/cardtool.1.gz";
    QTest::newRow("copyright") << "-rw-r--r-- /usr/share/doc/cardtool/copyright";
    QTest::newRow("changelog") << "-rw-r--r-- /usr/share/doc/cardtool/changelog.gz";
    QTest::newRow("lintian overrides") << "-rw-r--r-- /usr/share/lintian/overrides/cardtool";
}

void tst_Package::contents()
{
    QFETCH(QString, entry);
    QVERIFY2(listing.contains(entry), qPrintable(listing.join(QLatin1Char('\n'))));
}

void tst_Package::dependencies_data()
{
    QTest::addColumn<QString>("package");

    QTest::newRow("Qt 5 widgets") << "libqt5widgets5";
    QTest::newRow("Qt 5 gui") << "libqt5gui5";
    QTest::newRow("libusb") << "libusb-1.0-0";
    QTest::newRow("FreeImage") << "libfreeimage3";
    QTest::newRow("adduser, for the postinst") << "adduser";
}

void tst_Package::dependencies()
{
    QFETCH(QString, package);
    const QString depends = field(QStringLiteral("Depends"));
    QVERIFY(!depends.isEmpty());
    const QStringList names = depends.split(QRegularExpression(QStringLiteral("\\s*[,|]\\s*")));
    bool found = false;
    for (const QString &name : names)
        found = found || name.section(QLatin1Char(' '), 0, 0) == package;
    QVERIFY2(found, qPrintable(depends));
}

// The window's texts are all Chinese.
void tst_Package::recommendsACjkFont()
{
    const QString recommends = field(QStringLiteral("Recommends"));
    QVERIFY2(recommends.contains(QStringLiteral("fonts-wqy-microhei")), qPrintable(recommends));
}

// Upgrades must keep an operator's edits of configTool.ini.
void tst_Package::configurationIsAConffile()
{
    const QString dir = work.filePath(QStringLiteral("control"));
    const Run r = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-e"), deb, dir});
    QVERIFY2(r.ok, r.out.constData());
    QFile conffiles(dir + QStringLiteral("/conffiles"));
    QVERIFY(conffiles.open(QIODevice::ReadOnly));
    QCOMPARE(conffiles.readAll(), QByteArray("/usr/lib/cardtool/configTool.ini\n"));
}

void tst_Package::postinstOpensTheDirectoryToTheGroup()
{
    const QString dir = work.filePath(QStringLiteral("control"));
    const Run r = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-e"), deb, dir});
    QVERIFY2(r.ok, r.out.constData());
    QFile postinst(dir + QStringLiteral("/postinst"));
    QVERIFY(postinst.open(QIODevice::ReadOnly));
    QVERIFY(postinst.permissions() & QFileDevice::ExeOwner);
    const QString script = QString::fromUtf8(postinst.readAll());
    QVERIFY(script.contains(QStringLiteral("addgroup --quiet --system cardtool\n")));
    QVERIFY(script.contains(
        QStringLiteral("dpkg-statoverride --update --add root cardtool 2775 \"$appdir\"")));
    QVERIFY(script.contains(QStringLiteral("appdir=/usr/lib/cardtool\n")));
    // The udev trigger names the rule's vendors, filled in from the rule at configure time.
    QVERIFY(script.contains(QStringLiteral("for vendor in 2867 08bd 20d1; do")));

    const Run syntax = run(QStringLiteral("sh"), {QStringLiteral("-n"), postinst.fileName()});
    QVERIFY2(syntax.ok, syntax.out.constData());
    const Run postrm = run(QStringLiteral("sh"), {QStringLiteral("-n"), dir + QStringLiteral("/postrm")});
    QVERIFY2(postrm.ok, postrm.out.constData());
}

// Errors and warnings fail; the only overrides are the ones the layout forces, and each
// must still be needed.
void tst_Package::lintianFindsNothingUnexplained()
{
    const Run lintian = run(QStringLiteral("lintian"),
                            {QStringLiteral("--fail-on"), QStringLiteral("error,warning"),
                             QStringLiteral("--display-info"), deb});
    QVERIFY2(lintian.ok, lintian.out.constData());
    QVERIFY2(!lintian.out.contains("unused-override") && !lintian.out.contains("mismatched-override"),
             lintian.out.constData());
}

QTEST_GUILESS_MAIN(tst_Package)
#include "tst_package.moc"
