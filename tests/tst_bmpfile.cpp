// SPDX-License-Identifier: LGPL-3.0-or-later
// Monochrome BMP decoding without the window: every info header form, and malformed input.
#include "bmpfile.h"
#include "bmpfixtures.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <climits>

using fixtures::Picture;

namespace {

FIBITMAP *load(const QByteArray &bytes)
{
    return bmpfile::loadMonochrome(reinterpret_cast<const uint8_t *>(bytes.constData()),
                                   size_t(bytes.size()));
}

void patch32(QByteArray &b, int at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((v >> (8 * i)) & 0xff);
}

void patch16(QByteArray &b, int at, uint16_t v)
{
    b[at] = char(v & 0xff);
    b[at + 1] = char(v >> 8);
}

Picture colouredPicture()
{
    Picture p = fixtures::picture(37, 13, 5);
    const uint8_t dark[4] = {0x40, 0x10, 0x90, 0}; // a purple
    const uint8_t light[4] = {0x20, 0xe0, 0xf0, 0}; // a yellow
    std::copy(dark, dark + 4, p.colour0);
    std::copy(light, light + 4, p.colour1);
    p.dotsPerMeter = 11811; // 300 dpi, kept where the header has a field for it
    return p;
}

// Byte offsets in the file of the fields that the malformed cases change.
enum : int { kPixelOffset = 10, kWidth = 18, kHeight = 22, kPlanes = 26, kBitCount = 28,
             kCompression = 30, kColoursUsed = 46 };

} // namespace

class TestBmpFile : public QObject
{
    Q_OBJECT

private slots:
    void acceptedForms_data();
    void acceptedForms();
    void sameAsFreeImage_data();
    void sameAsFreeImage();
    void refused_data();
    void refused();
    void everyTruncationRefused_data();
    void everyTruncationRefused();
    void fileReading();
    void saveWritesFreeImageEncoding();
};

void TestBmpFile::acceptedForms_data()
{
    QTest::addColumn<int>("headerSize");
    QTest::addColumn<bool>("topDown");

    QTest::newRow("12-byte OS/2 1.x header") << 12 << false;
    for (int size : {40, 52, 56, 64, 108, 124}) {
        QTest::addRow("%d-byte header, bottom-up", size) << size << false;
        QTest::addRow("%d-byte header, top-down", size) << size << true;
    }
}

// Each form decodes to the same picture, colours and resolution, and is stored as
// FreeImage stores the picture it reads from the plain 40-byte form.
void TestBmpFile::acceptedForms()
{
    QFETCH(int, headerSize);
    QFETCH(bool, topDown);

    Picture p = colouredPicture();
    if (headerSize == 12) // no resolution field: FreeImage assumes 72 dpi
        p.dotsPerMeter = 2835;
    FIBITMAP *dib = load(fixtures::writeBmp(p, headerSize, topDown));
    QVERIFY(dib);

    QCOMPARE(FreeImage_GetImageType(dib), FIT_BITMAP);
    QCOMPARE(FreeImage_GetBPP(dib), 1u);
    QCOMPARE(int(FreeImage_GetWidth(dib)), p.width);
    QCOMPARE(int(FreeImage_GetHeight(dib)), p.height);
    QCOMPARE(FreeImage_GetDotsPerMeterX(dib), p.dotsPerMeter);
    QCOMPARE(FreeImage_GetDotsPerMeterY(dib), p.dotsPerMeter);
    const RGBQUAD *palette = FreeImage_GetPalette(dib);
    QCOMPARE(palette[0].rgbBlue, p.colour0[0]);
    QCOMPARE(palette[0].rgbGreen, p.colour0[1]);
    QCOMPARE(palette[0].rgbRed, p.colour0[2]);
    QCOMPARE(palette[1].rgbBlue, p.colour1[0]);
    QCOMPARE(palette[1].rgbGreen, p.colour1[1]);
    QCOMPARE(palette[1].rgbRed, p.colour1[2]);
    for (int y = 0; y < p.height; ++y) {
        // FreeImage keeps rows bottom-up: scan line 0 is the bottom row.
        const BYTE *line = FreeImage_GetScanLine(dib, unsigned(p.height - 1 - y));
        for (int x = 0; x < p.width; ++x) {
            const bool set = line[x / 8] & (0x80 >> (x % 8));
            if (set != p.bit(x, y))
                QFAIL(qPrintable(QStringLiteral("pixel %1,%2 differs").arg(x).arg(y)));
        }
    }
    const QByteArray stored = fixtures::freeImageEncode(dib);
    FreeImage_Unload(dib);
    QCOMPARE(stored, fixtures::storedForm(p));
}

void TestBmpFile::sameAsFreeImage_data()
{
    QTest::addColumn<QByteArray>("file");

    const Picture p = colouredPicture();
    QTest::newRow("12-byte header") << fixtures::writeBmp(p, 12);
    QTest::newRow("40-byte header, bottom-up") << fixtures::writeBmp(p, 40);
    QTest::newRow("40-byte header, top-down") << fixtures::writeBmp(p, 40, true);

    // FreeImage reads the colour table from right after the header and the rows from the
    // pixel offset; a gap between them must not shift anything.
    QByteArray gap = fixtures::writeBmp(p, 40);
    const int offset = 14 + 40 + 8;
    gap.insert(offset, QByteArray(10, '\x55'));
    patch32(gap, kPixelOffset, uint32_t(offset + 10));
    QTest::newRow("40-byte header, gap before the rows") << gap;

    // FreeImage's rules for an odd colour count: one entry read, or the count ignored.
    for (uint32_t used : {1u, 3u, 256u, 0xffffffffu}) {
        QByteArray f = fixtures::writeBmp(p, 40);
        patch32(f, kColoursUsed, used);
        QTest::addRow("40-byte header, colour count %u", used) << f;
    }
    QByteArray reserved = fixtures::writeBmp(p, 40);
    reserved[14 + 40 + 3] = char(0x7f);
    QTest::newRow("40-byte header, reserved palette byte set") << reserved;
}

// Where FreeImage reads a file itself, the tool's decode stores exactly what FreeImage's does.
void TestBmpFile::sameAsFreeImage()
{
    QFETCH(QByteArray, file);

    FIBITMAP *direct = fixtures::freeImageLoad(file);
    QVERIFY(direct);
    const QByteArray expected = fixtures::freeImageEncode(direct);
    FreeImage_Unload(direct);

    FIBITMAP *dib = load(file);
    QVERIFY(dib);
    const QByteArray actual = fixtures::freeImageEncode(dib);
    FreeImage_Unload(dib);
    QCOMPARE(actual, expected);
}

void TestBmpFile::refused_data()
{
    QTest::addColumn<QByteArray>("file");

    const Picture p = fixtures::picture(40, 12);
    const QByteArray good = fixtures::writeBmp(p, 40);
    auto with32 = [&](int at, uint32_t v) { QByteArray f = good; patch32(f, at, v); return f; };
    auto with16 = [&](int at, uint16_t v) { QByteArray f = good; patch16(f, at, v); return f; };

    QTest::newRow("empty") << QByteArray();
    QTest::newRow("signature only") << QByteArray("BM");
    QTest::newRow("file header only") << good.left(14);
    QTest::newRow("other signature") << QByteArray("BA").append(good.mid(2));
    QTest::newRow("PNG signature") << QByteArray("\x89PNG\r\n\x1a\n", 8).append(good.mid(8));
    QTest::newRow("unknown header size 20") << with32(14, 20);
    QTest::newRow("unknown header size 200") << with32(14, 200);
    QTest::newRow("header size larger than the file") << with32(14, 124).left(14 + 100);
    QTest::newRow("width 0") << with32(kWidth, 0);
    QTest::newRow("negative width") << with32(kWidth, uint32_t(-40));
    QTest::newRow("height 0") << with32(kHeight, 0);
    QTest::newRow("height INT_MIN") << with32(kHeight, 0x80000000u);
    QTest::newRow("2 planes") << with16(kPlanes, 2);
    QTest::newRow("4 bits per pixel") << with16(kBitCount, 4);
    QTest::newRow("8 bits per pixel") << with16(kBitCount, 8);
    QTest::newRow("24 bits per pixel") << with16(kBitCount, 24);
    QTest::newRow("run-length compression") << with32(kCompression, 1);
    QTest::newRow("bit fields") << with32(kCompression, 3);
    QTest::newRow("pixel offset past the end") << with32(kPixelOffset, uint32_t(good.size() + 1));
    QTest::newRow("pixel offset inside the colour table") << with32(kPixelOffset, 14 + 40 + 4);
    QTest::newRow("pixel offset huge") << with32(kPixelOffset, 0xffffffffu);
    QTest::newRow("rows one byte short") << good.left(good.size() - 1);
    QTest::newRow("width far beyond the data") << with32(kWidth, 0x7fffffffu);
    QTest::newRow("height far beyond the data") << with32(kHeight, 0x7fffffffu);
    QTest::newRow("top-down height far beyond the data") << with32(kHeight, uint32_t(-0x7fffffff));
    QTest::newRow("8-bit BMP from FreeImage") << fixtures::writeDeepBmp(40, 12, 8);
    QTest::newRow("24-bit BMP from FreeImage") << fixtures::writeDeepBmp(40, 12, 24);
    QByteArray core = fixtures::writeBmp(p, 12);
    patch16(core, 22, 8);
    QTest::newRow("12-byte header, 8 bits per pixel") << core;
    QByteArray coreWide = fixtures::writeBmp(p, 12);
    patch16(coreWide, 18, 0xffff);
    QTest::newRow("12-byte header, width beyond the data") << coreWide;
}

void TestBmpFile::refused()
{
    QFETCH(QByteArray, file);
    QVERIFY(bmpfile::toInfoHeaderForm(reinterpret_cast<const uint8_t *>(file.constData()),
                                      size_t(file.size())).isEmpty());
    QVERIFY(!load(file));
}

void TestBmpFile::everyTruncationRefused_data()
{
    QTest::addColumn<int>("headerSize");
    QTest::addColumn<bool>("topDown");
    for (int size : {12, 40, 64, 108, 124})
        QTest::addRow("%d-byte header", size) << size << false;
    QTest::newRow("124-byte header, top-down") << 124 << true;
}

// A file cut anywhere is refused; only the whole file is read.
void TestBmpFile::everyTruncationRefused()
{
    QFETCH(int, headerSize);
    QFETCH(bool, topDown);

    const QByteArray whole = fixtures::writeBmp(fixtures::picture(20, 5), headerSize, topDown);
    for (int length = 0; length < whole.size(); ++length) {
        if (FIBITMAP *dib = load(whole.left(length))) {
            FreeImage_Unload(dib);
            QFAIL(qPrintable(QStringLiteral("accepted the first %1 of %2 bytes").arg(length).arg(whole.size())));
        }
    }
    FIBITMAP *dib = load(whole);
    QVERIFY(dib);
    FreeImage_Unload(dib);
}

void TestBmpFile::fileReading()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());

    const Picture p = fixtures::picture(1016, 656);
    const QString good = dir.filePath(QStringLiteral("good.bmp"));
    {
        QFile f(good);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(fixtures::writeBmp(p, 124));
    }
    FIBITMAP *dib = bmpfile::loadMonochromeFile(good);
    QVERIFY(dib);
    QCOMPARE(fixtures::freeImageEncode(dib), fixtures::storedForm(p));
    FreeImage_Unload(dib);

    QVERIFY(!bmpfile::loadMonochromeFile(dir.filePath(QStringLiteral("missing.bmp"))));
    QVERIFY(!bmpfile::loadMonochromeFile(dir.path()));

    // A file past the limit is refused even if it starts like a good BMP.
    const QString huge = dir.filePath(QStringLiteral("huge.bmp"));
    QVERIFY(QFile::copy(good, huge));
    QVERIFY(QFile::resize(huge, bmpfile::kMaxFileSize + 1)); // sparse: costs no disk space
    QVERIFY(!bmpfile::loadMonochromeFile(huge));
}

void TestBmpFile::saveWritesFreeImageEncoding()
{
    const Picture p = colouredPicture();
    FIBITMAP *dib = load(fixtures::writeBmp(p, 108, true));
    QVERIFY(dib);

    QBuffer buffer;
    QVERIFY(buffer.open(QIODevice::WriteOnly));
    QVERIFY(bmpfile::save(dib, &buffer));
    QCOMPARE(buffer.data(), fixtures::storedForm(p));

    // A device that takes no bytes makes the save fail.
    QBuffer closed;
    QTest::ignoreMessage(QtWarningMsg, "QIODevice::write (QBuffer): device not open");
    QVERIFY(!bmpfile::save(dib, &closed));
    FreeImage_Unload(dib);
}

QTEST_GUILESS_MAIN(TestBmpFile)
#include "tst_bmpfile.moc"
