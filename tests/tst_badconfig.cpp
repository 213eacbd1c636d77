// SPDX-License-Identifier: LGPL-3.0-or-later
// Broken configTool.ini files: the window opens every time, with what it can read and the
// missing-value defaults (0, 0.0, empty title) for the rest.
#include "widgetinspector.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QRandomGenerator>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <memory>

namespace {

const QString kPrint = QStringLiteral("黑色有效区域");
const QString kErase = QStringLiteral("擦写区域");
const QString kFirmware = QStringLiteral("固件升级");
const QString kAbout = QStringLiteral("关于");
const QString kTitle = QStringLiteral("卡片工具");

// A complete configuration: print front only, erase back only.
QByteArray goodLines(const QByteArray &lineEnd = "\n")
{
    const QList<QByteArray> lines = {"[CONFIG_PRINTER]", "MAXL=1016", "MINL=656", "SCALE_X=4",
                                     "SCALE_Y=2.5", "TITLE=" + kTitle.toUtf8(), "BlackFront=1",
                                     "BlackBack=0", "EraseFront=0", "EraseBack=1"};
    QByteArray text;
    for (const QByteArray &line : lines)
        text += line + lineEnd;
    return text;
}

QByteArray garbage(int size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator gen(seed);
    for (char &b : bytes)
        b = char(gen.bounded(256));
    return bytes;
}

// Many lines of another group, `size` bytes or a little more.
QByteArray otherGroup(int size)
{
    QByteArray text = "[OTHER]\n";
    for (int i = 0; text.size() < size; ++i)
        text += "key" + QByteArray::number(i) + "=value " + QByteArray::number(i) + "\n";
    return text;
}

QStringList tabTitles(QTabWidget *tabs)
{
    QStringList titles;
    for (int i = 0; i < tabs->count(); ++i)
        titles << tabs->tabText(i);
    return titles;
}

QString sizeNote(int maxL, int minL)
{
    return QStringLiteral("且图片为\"%1x%2\"或者\"%2x%1\"大小的bmp图片").arg(maxL).arg(minL);
}

} // namespace

class TestBadConfig : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void brokenFile_data();
    void brokenFile();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestBadConfig::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(WidgetInspector::setAppDir(m_dir->path()));
}

void TestBadConfig::cleanup()
{
    WidgetInspector::setExecutableLink(QString());
    m_dir.reset();
}

void TestBadConfig::brokenFile_data()
{
    // "file", or what stands in its place: "directory", "fifo", "dangling link", "link to /dev/zero"
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("tabs");
    QTest::addColumn<int>("maxL");
    QTest::addColumn<int>("minL");
    QTest::addColumn<float>("scaleX");
    QTest::addColumn<float>("scaleY");

    const QStringList read = {kPrint, kErase, kFirmware, kAbout};
    const QStringList nothing = {kFirmware, kAbout};
    const QString none;
    const QString file = QStringLiteral("file");

    QTest::newRow("the file as it should be") << file << goodLines() << kTitle << read << 1016 << 656
                                              << 4.0f << 2.5f;

    // Nothing readable: every key reads as missing.
    QTest::newRow("binary garbage") << file << garbage(4096, 1) << none << nothing << 0 << 0 << 0.0f
                                    << 0.0f;
    QTest::newRow("empty file") << file << QByteArray() << none << nothing << 0 << 0 << 0.0f << 0.0f;
    QTest::newRow("keys outside any group")
        << file << goodLines().mid(int(qstrlen("[CONFIG_PRINTER]\n"))) << none << nothing << 0 << 0
        << 0.0f << 0.0f;
    QTest::newRow("another group only") << file << otherGroup(200) << none << nothing << 0 << 0
                                        << 0.0f << 0.0f;
    // Groups are told apart by exact name.
    QTest::newRow("group name in lower case")
        << file << goodLines().replace("[CONFIG_PRINTER]", "[config_printer]") << none << nothing
        << 0 << 0 << 0.0f << 0.0f;
    QTest::newRow("a directory in its place") << QStringLiteral("directory") << QByteArray() << none
                                              << nothing << 0 << 0 << 0.0f << 0.0f;
    QTest::newRow("a named pipe in its place") << QStringLiteral("fifo") << QByteArray()
                                               << none << nothing << 0 << 0 << 0.0f << 0.0f;
    QTest::newRow("a link to an endless device in its place")
        << QStringLiteral("link to /dev/zero") << QByteArray() << none << nothing << 0 << 0 << 0.0f
        << 0.0f;
    QTest::newRow("a link to nowhere in its place") << QStringLiteral("dangling link") << QByteArray()
                                                    << none << nothing << 0 << 0 << 0.0f << 0.0f;

    // Text that Qt reads as INI all the same gives its values.
    QTest::newRow("UTF-8 byte order mark") << file << "\xEF\xBB\xBF" + goodLines() << kTitle << read
                                           << 1016 << 656 << 4.0f << 2.5f;
    QTest::newRow("CRLF line ends") << file << goodLines("\r\n") << kTitle << read << 1016 << 656
                                    << 4.0f << 2.5f;
    QTest::newRow("byte order mark and CRLF") << file << "\xEF\xBB\xBF" + goodLines("\r\n") << kTitle
                                              << read << 1016 << 656 << 4.0f << 2.5f;
    QTest::newRow("old Mac CR line ends") << file << goodLines("\r") << kTitle << read << 1016 << 656
                                          << 4.0f << 2.5f;
    QTest::newRow("huge file: 8 MiB of another group first")
        << file << otherGroup(8 << 20) + goodLines() << kTitle << read << 1016 << 656 << 4.0f << 2.5f;
    QTest::newRow("huge file: one line of 8 MiB first")
        << file << QByteArray(8 << 20, 'x') + "\n" + goodLines() << kTitle << read << 1016 << 656
        << 4.0f << 2.5f;
    QTest::newRow("garbage lines before the group")
        << file << garbage(4096, 2).replace('[', '(') + "\n" + goodLines() << kTitle << read << 1016
        << 656 << 4.0f << 2.5f;

    // Values that do not convert read as 0 or 0.0, each on its own.
    QTest::newRow("values that are not numbers")
        << file
        << QByteArray("[CONFIG_PRINTER]\nMAXL=long\nMINL=12.5\nSCALE_X=wide\nSCALE_Y=1e\n"
                      "TITLE=t\nBlackFront=yes\nBlackBack=0x1\nEraseFront=\nEraseBack=1\n")
        << QStringLiteral("t") << QStringList{kErase, kFirmware, kAbout} << 0 << 0 << 0.0f << 0.0f;
    // Qt 5 reads the text as a 64-bit number and keeps its low 32 bits; no image matches it.
    QTest::newRow("a number too large for an int wraps as QVariant::toInt does")
        << file << QByteArray(goodLines()).replace("MAXL=1016", "MAXL=99999999999") << kTitle << read
        << 1215752191 << 656 << 4.0f << 2.5f;
    QTest::newRow("blanks around values and signs are read")
        << file << QByteArray(goodLines()).replace("MAXL=1016", "MAXL =  1016 ")
                       .replace("MINL=656", "MINL=+656").replace("SCALE_Y=2.5", "SCALE_Y=-2.5")
        << kTitle << read << 1016 << 656 << 4.0f << -2.5f;
    // An unquoted comma makes the value a list, which is no number and no single text.
    QTest::newRow("a comma in a number")
        << file << QByteArray(goodLines()).replace("SCALE_X=4", "SCALE_X=4,5") << kTitle << read
        << 1016 << 656 << 0.0f << 2.5f;
    QTest::newRow("a comma in the title, unquoted")
        << file << QByteArray(goodLines()).replace("TITLE=", "TITLE=a, ") << none << read << 1016
        << 656 << 4.0f << 2.5f;
    QTest::newRow("a comma in the title, quoted")
        << file << QByteArray(goodLines()).replace("TITLE=" + kTitle.toUtf8(), "TITLE=\"a, b\"")
        << QStringLiteral("a, b") << read << 1016 << 656 << 4.0f << 2.5f;
}

void TestBadConfig::brokenFile()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, title);
    QFETCH(QStringList, tabs);
    QFETCH(int, maxL);
    QFETCH(int, minL);
    QFETCH(float, scaleX);
    QFETCH(float, scaleY);

    const QString path = m_dir->filePath(QStringLiteral("configTool.ini"));
    if (kind == QLatin1String("directory")) {
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("configTool.ini")));
    } else if (kind == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind == QLatin1String("dangling link")) {
        QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("nowhere.ini")), path));
    } else if (kind == QLatin1String("link to /dev/zero")) {
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), qint64(bytes.size()));
    }

    QElapsedTimer timer;
    timer.start();
    Widget window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    if (bytes.size() > (1 << 20))
        qInfo("opened with a %d-byte configuration in %lld ms", int(bytes.size()), timer.elapsed());

    Ui_Widget *ui = WidgetInspector::ui(window);
    QCOMPARE(window.windowTitle(), title);
    QCOMPARE(tabTitles(ui->tabWidget), tabs);
    QCOMPARE(ui->tabWidget->currentIndex(), 0);
    QCOMPARE(WidgetInspector::maxL(window), maxL);
    QCOMPARE(WidgetInspector::minL(window), minL);
    QCOMPARE(WidgetInspector::scaleX(window), scaleX);
    QCOMPARE(WidgetInspector::scaleY(window), scaleY);
    QVERIFY(ui->labelzy->text().endsWith(sizeNote(maxL, minL)));
    QVERIFY(ui->labelzy2->text().endsWith(sizeNote(maxL, minL)));
    QCOMPARE(window.size(), QSize(465, 790));

    // Reading never writes: what stood there is still there, unchanged.
    if (kind == QLatin1String("file")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll() == bytes);
    } else if (kind == QLatin1String("directory")) {
        QVERIFY(QFileInfo(path).isDir());
    } else if (kind == QLatin1String("fifo")) {
        struct stat status {};
        QCOMPARE(::lstat(QFile::encodeName(path).constData(), &status), 0);
        QVERIFY(S_ISFIFO(status.st_mode));
    } else {
        QVERIFY(QFileInfo(path).isSymLink());
    }
}

QTEST_MAIN(TestBadConfig)
#include "tst_badconfig.moc"
