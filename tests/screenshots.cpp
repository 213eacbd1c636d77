// SPDX-License-Identifier: LGPL-3.0-or-later
// Pictures of every page of the real window for the README and the metainfo: stored
// templates previewed, and two virtual printers listed with an upload under way.
// Usage: cardtool_screenshots <output directory>   (scripts/screenshots.sh runs it under Xvfb)
#include "dialogdriver.h"
#include "form.h"
#include "virtualprinter.h"
#include "widget.h"
#include "widgetinspector.h"

#include <FreeImage.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>
#include <functional>

namespace {

// A 1-bit template: white card, black wherever `black(x, y)` holds (y counted from the top).
bool writeTemplate(const QString &path, int width, int height,
                   const std::function<bool(int, int)> &black)
{
    FIBITMAP *bitmap = FreeImage_Allocate(width, height, 1);
    if (!bitmap)
        return false;
    RGBQUAD *palette = FreeImage_GetPalette(bitmap);
    palette[0] = RGBQUAD{0, 0, 0, 0};
    palette[1] = RGBQUAD{255, 255, 255, 0};
    for (int y = 0; y < height; ++y) {
        BYTE *line = FreeImage_GetScanLine(bitmap, height - 1 - y);
        for (int x = 0; x < width; ++x) {
            if (!black(x, y))
                line[x / 8] |= BYTE(0x80 >> (x % 8));
        }
    }
    const bool saved = FreeImage_Save(FIF_BMP, bitmap, QFile::encodeName(path).constData(), 0);
    FreeImage_Unload(bitmap);
    return saved;
}

bool inRect(int x, int y, int left, int top, int right, int bottom)
{
    return x >= left && x < right && y >= top && y < bottom;
}

bool writeTemplates(const QString &dir)
{
    const int w = 1016;
    const int h = 656;
    // Print area front: all of the card but a margin and the chip.
    const bool printFront = writeTemplate(dir + "/kValid.bmp", w, h, [&](int x, int y) {
        return inRect(x, y, 24, 24, w - 24, h - 24) && !inRect(x, y, 90, 220, 250, 350);
    });
    // Print area back, stored upright: below the magnetic stripe.
    const bool printBack = writeTemplate(dir + "/kValidR.bmp", h, w, [&](int x, int y) {
        return inRect(x, y, 24, 24, h - 24, w - 24) && !inRect(x, y, 60, 0, 200, w);
    });
    // Erase areas: the lower band of the front, a window on the back.
    const bool eraseFront = writeTemplate(dir + "/erasing_custom.bmp", w, h, [&](int x, int y) {
        return inRect(x, y, 40, 380, w - 40, h - 40);
    });
    const bool eraseBack = writeTemplate(dir + "/erasing_custom_r.bmp", w, h, [&](int x, int y) {
        return inRect(x, y, 300, 60, w - 60, h - 60);
    });
    return printFront && printBack && eraseFront && eraseBack;
}

bool copyFile(const QString &from, const QString &to)
{
    QFile::remove(to);
    return QFile::copy(from, to);
}

bool writeFirmware(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray piece(4096, '\x5a');
    for (int i = 0; i < 24; ++i)
        file.write(piece);
    return file.error() == QFile::NoError;
}

bool save(QWidget &window, const QString &path)
{
    QApplication::processEvents();
    // Indexed colours keep the pictures small; the window has few colours anyway.
    const QImage image = window.grab().toImage().convertToFormat(QImage::Format_Indexed8,
                                                                 Qt::ThresholdDither);
    const bool saved = image.save(path, "PNG", 0);
    QTextStream(stdout) << (saved ? "wrote " : "FAILED ") << path << '\n';
    return saved;
}

int tabIndex(QTabWidget *tabs, const QString &title)
{
    for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->tabText(i) == title)
            return i;
    }
    return -1;
}

} // namespace

int main(int argc, char **argv)
{
    // Before the first libusb_init, that is before the window.
    VirtualPrinterBus bus;
    VirtualDevice first;
    first.vendorId = 0x2867;
    first.productId = 0x0012;
    first.deviceId = QByteArrayLiteral("\x00\x1c" "MFG:ACME;MDL:CP500;CMD:X;");
    VirtualDevice second;
    second.vendorId = 0x20d1;
    second.productId = 0x0301;
    second.deviceId = QByteArrayLiteral("\x00\x1d" "MFG:ACME;MDL:RW300;CMD:X;");
    bus.addDevice(first);
    bus.addDevice(second);

    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication app(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: cardtool_screenshots <output directory>\n";
        return 2;
    }
    const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QDir().mkpath(out);

    QTemporaryDir appDir;
    if (!appDir.isValid()
        || !copyFile(QStringLiteral(CARDTOOL_SOURCE_DIR "/resources/configTool.ini"),
                     appDir.filePath(QStringLiteral("configTool.ini")))
        || !writeTemplates(appDir.path()) || !writeFirmware(appDir.filePath("CP500_v2.1.mot"))
        || !WidgetInspector::setAppDir(appDir.path())) {
        QTextStream(stderr) << "cannot prepare the application directory\n";
        return 1;
    }

    Widget window;
    window.show();
    Ui_Widget *ui = WidgetInspector::ui(window);
    QTabWidget *tabs = ui->tabWidget;

    bool ok = true;
    const struct { const char *title; const char *file; } templatePages[] = {
        {"黑色有效区域", "print-area.png"},
        {"擦写区域", "erase-area.png"},
    };
    for (const auto &page : templatePages) {
        tabs->setCurrentIndex(tabIndex(tabs, QString::fromUtf8(page.title)));
        ok = save(window, out + QLatin1Char('/') + QLatin1String(page.file)) && ok;
    }

    tabs->setCurrentIndex(tabIndex(tabs, QStringLiteral("关于")));
    ok = save(window, out + QStringLiteral("/about.png")) && ok;

    // Firmware page: the page change lists both printers; choose the second one and a file,
    // then take the picture halfway through the upload, from inside it.
    tabs->setCurrentIndex(tabIndex(tabs, QStringLiteral("固件升级")));
    ui->printerList->setCurrentRow(1);
    DialogDriver driver;
    driver.then(DialogDriver::chooseFile(appDir.filePath("CP500_v2.1.mot")));
    ui->detectbutton->click();

    bool shot = false;
    QObject::connect(ui->fwUpdateProcessBar, &QProgressBar::valueChanged, [&](int value) {
        if (!shot && value >= 50) {
            shot = true;
            ok = save(window, out + QStringLiteral("/firmware.png")) && ok;
        }
    });
    driver.then(DialogDriver::accept()); // the closing "固件数据已经发送完毕" box
    ui->doFWUpdate->click();

    if (!shot || driver.pending() != 0 || bus.bulkTransfers().isEmpty()) {
        QTextStream(stderr) << "the upload did not run as planned\n";
        ok = false;
    }
    return ok ? 0 : 1;
}
