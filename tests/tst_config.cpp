// SPDX-License-Identifier: LGPL-3.0-or-later
// Config over configTool.ini files written into a temporary directory.
#include "config.h"
#include "testfiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QString kGroup = QStringLiteral("CONFIG_PRINTER");

} // namespace

class TestConfig : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void getValue_data();
    void getValue();
    void missingFileReadsAsInvalid();
    void trailingSlashInDirectory();
    void setValueReachesFileAtOnce();
    void setValueKeepsChineseText();
    void getOneValue_data();
    void getOneValue();
    void removeValue();
    void removeGroup();

private:
    QString iniPath() const { return dir->filePath(QStringLiteral("configTool.ini")); }

    std::unique_ptr<QTemporaryDir> dir;
};

void TestConfig::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

void TestConfig::getValue_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("expected"); // invalid: nothing stored

    const QByteArray ini = "[CONFIG_PRINTER]\nMAXL=1016\nSCALE_X=3.2\n"
                           "TITLE=\xe5\x8d\xa1\xe7\x89\x87\xe5\xb7\xa5\xe5\x85\xb7\n"
                           "[OTHER]\nMAXL=7\n";
    QTest::newRow("number as text") << ini << kGroup << "MAXL" << QVariant(QStringLiteral("1016"));
    QTest::newRow("decimal as text") << ini << kGroup << "SCALE_X" << QVariant(QStringLiteral("3.2"));
    QTest::newRow("UTF-8 Chinese title") << ini << kGroup << "TITLE"
                                         << QVariant(QStringLiteral("卡片工具"));
    QTest::newRow("same key, other group") << ini << "OTHER" << "MAXL" << QVariant(QStringLiteral("7"));
    QTest::newRow("missing key") << ini << kGroup << "MINL" << QVariant();
    QTest::newRow("missing group") << ini << "NONE" << "MAXL" << QVariant();
    QTest::newRow("key outside any group") << QByteArray("MAXL=5\n") << kGroup << "MAXL" << QVariant();
}

void TestConfig::getValue()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, group);
    QFETCH(QString, key);
    QFETCH(QVariant, expected);

    QVERIFY(writeFile(iniPath(), ini));
    const Config config(dir->path());
    const QVariant value = config.getValue(group, key);
    QCOMPARE(value.isValid(), expected.isValid());
    if (expected.isValid())
        QCOMPARE(value.toString(), expected.toString());
}

void TestConfig::missingFileReadsAsInvalid()
{
    const Config config(dir->path());
    const QVariant value = config.getValue(kGroup, QStringLiteral("MAXL"));
    QVERIFY(!value.isValid());
    QCOMPARE(value.toInt(), 0);
    QCOMPARE(value.toFloat(), 0.0f);
    QCOMPARE(value.toString(), QString());
    // Reading creates nothing.
    QVERIFY(!QFile::exists(iniPath()));
}

void TestConfig::trailingSlashInDirectory()
{
    QVERIFY(writeFile(iniPath(), "[CONFIG_PRINTER]\nMINL=656\n"));
    const Config config(dir->path() + QLatin1Char('/'));
    QCOMPARE(config.getValue(kGroup, QStringLiteral("MINL")).toInt(), 656);
}

void TestConfig::setValueReachesFileAtOnce()
{
    QVERIFY(writeFile(iniPath(), "[CONFIG_PRINTER]\nMAXL=1016\n"));
    Config config(dir->path());
    config.setValue(kGroup, QStringLiteral("MINL"), 640);

    // Before the Config goes away, the bytes are on disk and another reader sees them.
    const QByteArray onDisk = readFile(iniPath());
    QVERIFY2(onDisk.contains("MINL=640"), onDisk.constData());
    QVERIFY2(onDisk.contains("MAXL=1016"), onDisk.constData());
    const Config other(dir->path());
    QCOMPARE(other.getValue(kGroup, QStringLiteral("MINL")).toInt(), 640);
    QCOMPARE(config.getValue(kGroup, QStringLiteral("MINL")).toInt(), 640);
}

void TestConfig::setValueKeepsChineseText()
{
    const QString title = QStringLiteral("卡片打印机设置工具");
    Config config(dir->path());
    config.setValue(kGroup, QStringLiteral("TITLE"), title);

    QVERIFY(readFile(iniPath()).contains(title.toUtf8()));
    const Config other(dir->path());
    QCOMPARE(other.getValue(kGroup, QStringLiteral("TITLE")).toString(), title);
}

void TestConfig::getOneValue_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    QTest::newRow("first of three") << QVariant(QStringLiteral("red")) << "COLOURS" << "0";
    QTest::newRow("second of three") << QVariant(QStringLiteral("green")) << "COLOURS" << "1";
    QTest::newRow("third of three") << QVariant(QStringLiteral("blue")) << "COLOURS" << "2";
    QTest::newRow("not in the list") << QVariant(QStringLiteral("black")) << "COLOURS" << "0";
    QTest::newRow("case matters") << QVariant(QStringLiteral("Green")) << "COLOURS" << "0";
    QTest::newRow("number compared as text") << QVariant(20) << "SIZES" << "1";
    QTest::newRow("single value") << QVariant(QStringLiteral("only")) << "ONE" << "0";
    QTest::newRow("missing key") << QVariant(QStringLiteral("red")) << "NONE" << "0";
}

void TestConfig::getOneValue()
{
    QFETCH(QVariant, value);
    QFETCH(QString, key);
    QFETCH(QString, expected);

    QVERIFY(writeFile(iniPath(), "[LISTS]\nCOLOURS=red, green, blue\nSIZES=10, 20, 30\nONE=only\n"));
    const Config config(dir->path());
    QCOMPARE(config.getOneValue(QStringLiteral("LISTS"), key, value), expected);
}

void TestConfig::removeValue()
{
    QVERIFY(writeFile(iniPath(), "[CONFIG_PRINTER]\nMAXL=1016\nMINL=656\n"));
    {
        Config config(dir->path());
        config.removeValue(kGroup, QStringLiteral("MAXL"));
        QVERIFY(!config.getValue(kGroup, QStringLiteral("MAXL")).isValid());
        QCOMPARE(config.getValue(kGroup, QStringLiteral("MINL")).toInt(), 656);
    }
    // Written at the latest when the Config goes away.
    const QByteArray onDisk = readFile(iniPath());
    QVERIFY2(!onDisk.contains("MAXL"), onDisk.constData());
    QVERIFY2(onDisk.contains("MINL=656"), onDisk.constData());
}

void TestConfig::removeGroup()
{
    QVERIFY(writeFile(iniPath(), "[CONFIG_PRINTER]\nMAXL=1016\nMINL=656\n[KEEP]\nA=1\n"));
    {
        Config config(dir->path());
        config.removeGroup(kGroup);
        QVERIFY(!config.getValue(kGroup, QStringLiteral("MAXL")).isValid());
        QVERIFY(!config.getValue(kGroup, QStringLiteral("MINL")).isValid());
        QCOMPARE(config.getValue(QStringLiteral("KEEP"), QStringLiteral("A")).toInt(), 1);
    }
    const QByteArray onDisk = readFile(iniPath());
    QVERIFY2(!onDisk.contains("CONFIG_PRINTER"), onDisk.constData());
    QVERIFY2(onDisk.contains("A=1"), onDisk.constData());
}

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
