// SPDX-License-Identifier: LGPL-3.0-or-later
// Desktop entry, AppStream metainfo and icon: the freedesktop validators, and the names by
// which the three files and the installed launcher find one another.
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QtTest>

namespace {

const QString appId = QStringLiteral("io.github.cardtool.CardTool");

QString packagingFile(const QString &suffix)
{
    return QStringLiteral(CARDTOOL_SOURCE_DIR "/packaging/") + appId + suffix;
}

QDomDocument metainfo()
{
    QDomDocument doc;
    QFile file(packagingFile(QStringLiteral(".metainfo.xml")));
    if (file.open(QIODevice::ReadOnly))
        doc.setContent(&file);
    return doc;
}

QString desktopValue(const QString &key)
{
    QSettings entry(packagingFile(QStringLiteral(".desktop")), QSettings::IniFormat);
    entry.setIniCodec("UTF-8");
    return entry.value(QStringLiteral("Desktop Entry/") + key).toString();
}

} // namespace

class tst_DesktopFiles : public QObject
{
    Q_OBJECT

private slots:
    void validatorAccepts_data();
    void validatorAccepts();
    void entryStartsTheLauncherWithTheIcon();
    void metainfoNamesTheEntry();
    void metainfoScreenshotsAreInTheRepository();
    void metainfoReleaseIsTheProjectVersion();
    void iconIsASquareSvg();
};

void tst_DesktopFiles::validatorAccepts_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");

    QTest::newRow("desktop-file-validate")
        << "desktop-file-validate" << QStringList{packagingFile(QStringLiteral(".desktop"))};
    QTest::newRow("appstreamcli validate")
        << "appstreamcli"
        << QStringList{QStringLiteral("validate"), QStringLiteral("--no-net"),
                       packagingFile(QStringLiteral(".metainfo.xml"))};
}

void tst_DesktopFiles::validatorAccepts()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);

    const QString path = QStandardPaths::findExecutable(program);
    QVERIFY2(!path.isEmpty(),
             qPrintable(program + QStringLiteral(" is needed (scripts/deps.sh test installs it)")));
    QProcess validator;
    validator.setProcessChannelMode(QProcess::MergedChannels);
    validator.start(path, arguments);
    QVERIFY(validator.waitForFinished(60000));
    const QByteArray output = validator.readAll();
    QVERIFY2(validator.exitStatus() == QProcess::NormalExit && validator.exitCode() == 0,
             output.constData());
}

void tst_DesktopFiles::entryStartsTheLauncherWithTheIcon()
{
    // The launcher installed on the PATH, not a path into the tool's directory.
    QCOMPARE(desktopValue(QStringLiteral("Exec")), QStringLiteral("cardtool"));
    QCOMPARE(desktopValue(QStringLiteral("Icon")), appId);
    QVERIFY(QFileInfo::exists(packagingFile(QStringLiteral(".svg"))));
}

void tst_DesktopFiles::metainfoNamesTheEntry()
{
    const QDomDocument doc = metainfo();
    const QDomElement component = doc.documentElement();
    QCOMPARE(component.tagName(), QStringLiteral("component"));
    QCOMPARE(component.firstChildElement(QStringLiteral("id")).text(), appId);
    QCOMPARE(component.firstChildElement(QStringLiteral("launchable")).text(),
             appId + QStringLiteral(".desktop"));
    QCOMPARE(component.firstChildElement(QStringLiteral("provides"))
                 .firstChildElement(QStringLiteral("binary")).text(),
             QStringLiteral("cardtool"));
}

// The images are published from the repository's screenshots/ folder: each must be committed
// there, a PNG of the size the metainfo claims.
void tst_DesktopFiles::metainfoScreenshotsAreInTheRepository()
{
    const QDomNodeList images = metainfo().elementsByTagName(QStringLiteral("image"));
    QVERIFY(images.size() > 0);
    for (int i = 0; i < images.size(); ++i) {
        const QDomElement image = images.at(i).toElement();
        const QString url = image.text().trimmed();
        QVERIFY2(url.startsWith(QStringLiteral("https://")), qPrintable(url));
        const QString name = url.section(QLatin1Char('/'), -1);
        QVERIFY2(url.endsWith(QStringLiteral("/screenshots/") + name), qPrintable(url));
        const QImage png(QStringLiteral(CARDTOOL_SOURCE_DIR "/screenshots/") + name, "PNG");
        QVERIFY2(!png.isNull(), qPrintable(name));
        QCOMPARE(png.width(), image.attribute(QStringLiteral("width")).toInt());
        QCOMPARE(png.height(), image.attribute(QStringLiteral("height")).toInt());
    }
}

void tst_DesktopFiles::metainfoReleaseIsTheProjectVersion()
{
    const QDomElement newest = metainfo().documentElement()
                                   .firstChildElement(QStringLiteral("releases"))
                                   .firstChildElement(QStringLiteral("release"));
    QCOMPARE(newest.attribute(QStringLiteral("version")), QStringLiteral(CARDTOOL_VERSION));
}

void tst_DesktopFiles::iconIsASquareSvg()
{
    QDomDocument doc;
    QFile file(packagingFile(QStringLiteral(".svg")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QString error;
    QVERIFY2(doc.setContent(&file, true, &error), qPrintable(error));
    const QDomElement svg = doc.documentElement();
    QCOMPARE(svg.tagName(), QStringLiteral("svg"));
    QCOMPARE(svg.namespaceURI(), QStringLiteral("http://www.w3.org/2000/svg"));
    const QStringList box = svg.attribute(QStringLiteral("viewBox")).split(QLatin1Char(' '));
    QCOMPARE(box.size(), 4);
    QCOMPARE(box[2], box[3]);
}

QTEST_GUILESS_MAIN(tst_DesktopFiles)
#include "tst_desktopfiles.moc"
