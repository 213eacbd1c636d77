// SPDX-License-Identifier: LGPL-3.0-or-later
// The printer entry built from a raw IEEE 1284 device ID reply, without any USB.
#include "usb.h"

#include <QtTest>

namespace {
// Two big-endian length bytes counting themselves, then the fields.
QByteArray withLength(const QByteArray &fields)
{
    const int total = fields.size() + 2;
    return QByteArray(1, char(total >> 8)) + char(total & 0xff) + fields;
}
} // namespace

class tst_PrinterEntry : public QObject
{
    Q_OBJECT

private slots:
    void entry_data();
    void entry();
};

void tst_PrinterEntry::entry_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("vendorId");
    QTest::addColumn<int>("productId");
    QTest::addColumn<QString>("entry");

    const QByteArray acme = withLength("MFG:ACME;MDL:CP500;CMD:X;");
    QTest::newRow("MFG and MDL behind the length bytes") << acme << 0x2867 << 0x12 << "ACME CP500_2867:12";
    QTest::newRow("length bytes that are printable stay part of the first key")
        << QByteArray("AZMFG:ACME;MDL:CP500;") << 0x2867 << 0x12 << "ACME CP500_2867:12";
    QTest::newRow("MDL before MFG") << withLength("MDL:CP500;MFG:ACME;") << 0x2867 << 0x12
                                    << "ACME CP500_2867:12";
    QTest::newRow("empty reply") << QByteArray() << 0x2867 << 0x12 << " _2867:12";
    QTest::newRow("only the length bytes") << QByteArray("\x00\x02", 2) << 0x2867 << 0x12 << " _2867:12";
    QTest::newRow("only MFG") << withLength("MFG:ACME;") << 0x2867 << 0x12 << "ACME _2867:12";
    QTest::newRow("only MDL") << withLength("MDL:CP500;") << 0x2867 << 0x12 << " CP500_2867:12";
    QTest::newRow("no closing semicolon") << withLength("MFG:ACME;MDL:CP500") << 0x2867 << 0x12
                                          << "ACME CP500_2867:12";
    QTest::newRow("empty fields and fields without a colon are passed over")
        << withLength(";;MFG:ACME;;JUNK;MDL:CP500;;") << 0x2867 << 0x12 << "ACME CP500_2867:12";
    QTest::newRow("repeated key: the last wins")
        << withLength("MFG:OLD;MDL:M1;MFG:ACME;MDL:CP500;") << 0x2867 << 0x12 << "ACME CP500_2867:12";
    QTest::newRow("a later empty value replaces an earlier one")
        << withLength("MFG:ACME;MDL:CP500;MFG:;") << 0x2867 << 0x12 << " CP500_2867:12";
    QTest::newRow("a value is cut at its own colon")
        << withLength("MFG:ACME:EU:X;MDL:CP500;") << 0x2867 << 0x12 << "ACME CP500_2867:12";
    QTest::newRow("values are not trimmed")
        << withLength("MFG: ACME ;MDL:CP500 ;") << 0x2867 << 0x12 << " ACME  CP500 _2867:12";
    QTest::newRow("keys are case-sensitive") << withLength("Mfg:acme;mdl:cp500;") << 0x2867 << 0x12
                                             << " _2867:12";
    QTest::newRow("long forms MANUFACTURER and MODEL are not keys")
        << withLength("MANUFACTURER:ACME;MODEL:CP500;") << 0x2867 << 0x12 << " _2867:12";
    QTest::newRow("a key containing MDL counts") << withLength("MFG:ACME;XMDL:CP9;") << 0x2867 << 0x12
                                                 << "ACME CP9_2867:12";
    QTest::newRow("a key containing both sets both")
        << withLength("MFGMDL:SAME;") << 0x2867 << 0x12 << "SAME SAME_2867:12";
    QTest::newRow("a key with spaces around it still counts")
        << withLength(" MFG :ACME;") << 0x2867 << 0x12 << "ACME _2867:12";
    QTest::newRow("zero bytes are characters, not ends")
        << withLength(QByteArray("MFG:A\0B;\0MDL:C;", 15)) << 0x2867 << 0x12
        << QString::fromLatin1("A_B C_2867:12").replace(1, 1, QChar(0));
    QTest::newRow("bytes above 0x7F are Latin-1")
        << withLength("MFG:\xe9" "T\xe9;MDL:\xff;") << 0x2867 << 0x12
        << QString::fromUtf8("\xc3\xa9T\xc3\xa9 \xc3\xbf_2867:12");
    QTest::newRow("percent signs in values are kept")
        << withLength("MFG:A%1;MDL:%2%3;") << 0x2867 << 0x12 << "A%1 %2%3_2867:12";
    QTest::newRow("vendor 0x08BD without the leading zero") << acme << 0x08bd << 0x0001 << "ACME CP500_8bd:1";
    QTest::newRow("vendor 0x20D1, product in lower case") << acme << 0x20d1 << 0xabcd << "ACME CP500_20d1:abcd";
    QTest::newRow("product 0") << acme << 0x2867 << 0 << "ACME CP500_2867:0";
}

void tst_PrinterEntry::entry()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, vendorId);
    QFETCH(int, productId);
    QFETCH(QString, entry);

    QCOMPARE(printerEntry(reply, vendorId, productId), entry);
}

QTEST_APPLESS_MAIN(tst_PrinterEntry)
#include "tst_printerentry.moc"
