// SPDX-License-Identifier: LGPL-3.0-or-later
// Hundreds of enumerations of four printers and hundreds of uploads in one process: no
// descriptor, printer handle or memory may pile up.
#include "dialogdriver.h"
#include "processprobe.h"
#include "virtualprinter.h"
#include "widgetinspector.h"

#include <QApplication>
#include <QFile>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

constexpr int kRounds = 500;
constexpr int kMeasuredFrom = 50; // memory is compared between this round and the last
constexpr long kMaxGrowthKiB = 1024;
constexpr int kPrinters = 4;
constexpr quint16 kFirstProduct = 0x20;
const QString kSentTitle = QStringLiteral("完成");

} // namespace

class TestSoak : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void enumerateAndUpload();

private:
    Ui_Widget *ui() { return WidgetInspector::ui(*window); }
    void round(int n, const QByteArray &firmware);

    std::unique_ptr<VirtualPrinterBus> bus;
    QTemporaryDir appDir;
    QString firmwarePath;
    std::unique_ptr<Widget> window;
};

void TestSoak::initTestCase()
{
    // Before the first libusb context, which the first window creates.
    bus = std::make_unique<VirtualPrinterBus>();
    for (int i = 0; i < kPrinters; ++i) {
        VirtualDevice printer;
        printer.productId = quint16(kFirstProduct + i);
        QCOMPARE(bus->addDevice(printer), i);
    }

    QVERIFY(appDir.isValid());
    QVERIFY(WidgetInspector::setAppDir(appDir.path()));
    QFile ini(appDir.filePath(QStringLiteral("configTool.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    QVERIFY(ini.write("[CONFIG_PRINTER]\nMAXL=1016\nMINL=656\nSCALE_X=4\nSCALE_Y=4\nTITLE=soak\n"
                      "BlackFront=1\nBlackBack=1\nEraseFront=1\nEraseBack=1\n") > 0);
    ini.close();
    firmwarePath = appDir.filePath(QStringLiteral("fw.mot"));
}

void TestSoak::cleanupTestCase()
{
    window.reset();
    WidgetInspector::setExecutableLink(QString());
    bus.reset();
}

// One enumeration, then one upload to the printer of row n % 4 (small: one piece).
void TestSoak::round(int n, const QByteArray &firmware)
{
    bus->clearLogs();
    ui()->enumPrintersButton->click();
    QCOMPARE(ui()->printerList->count(), kPrinters);
    QCOMPARE(bus->openHandles(), kPrinters);

    const int row = n % kPrinters;
    ui()->printerList->setCurrentRow(row);
    // Rows follow the bus order; the entry ends in the product ID, which names the device.
    bool ok = false;
    const int device =
        ui()->printerList->item(row)->text().section(QLatin1Char(':'), -1).toInt(&ok, 16)
        - kFirstProduct;
    QVERIFY(ok && device >= 0 && device < kPrinters);

    DialogDriver driver;
    driver.then(DialogDriver::accept()).then(DialogDriver::cancel());
    ui()->doFWUpdate->click();
    QCOMPARE(driver.seen().size(), 1);
    QCOMPARE(driver.seen()[0].title, kSentTitle);

    const QVector<BulkTransfer> transfers = bus->bulkTransfers();
    QCOMPARE(transfers.size(), 1);
    QCOMPARE(transfers[0].device, device);
    QVERIFY(transfers[0].data == firmware);
}

void TestSoak::enumerateAndUpload()
{
    const QByteArray firmware(1000, 'F');
    QFile fw(firmwarePath);
    QVERIFY(fw.open(QIODevice::WriteOnly));
    QCOMPARE(fw.write(firmware), qint64(firmware.size()));
    fw.close();

    // A first window, so that what Qt and libusb open once per process is open before the
    // descriptors are counted.
    window = std::make_unique<Widget>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    ui()->tabWidget->setCurrentWidget(ui()->tab3);
    ui()->nonStdFWUpdate->click();
    WidgetInspector::fwPath(*window) = firmwarePath;
    round(0, firmware);
    window.reset();
    QCOMPARE(bus->openHandles(), 0);
    const int descriptorsAtStart = processprobe::quietOpenFileDescriptors();

    window = std::make_unique<Widget>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    ui()->tabWidget->setCurrentWidget(ui()->tab3);
    ui()->nonStdFWUpdate->click();
    WidgetInspector::fwPath(*window) = firmwarePath;

    int descriptorsInUse = -1;
    long residentAtStart = -1;
    for (int n = 1; n <= kRounds; ++n) {
        round(n, firmware);
        if (QTest::currentTestFailed()) {
            qWarning("in round %d", n);
            return;
        }
        // The handles of the last enumeration and the libusb context, and nothing new.
        if (n == 1)
            descriptorsInUse = processprobe::quietOpenFileDescriptors();
        const int descriptors = processprobe::openFileDescriptorsSettlingAt(descriptorsInUse);
        QVERIFY2(descriptors == descriptorsInUse,
                 qPrintable(QStringLiteral("round %1: %2 descriptors, %3 after the first round")
                                .arg(n).arg(descriptors).arg(descriptorsInUse)));
        if (n == kMeasuredFrom)
            residentAtStart = processprobe::residentKiB();
    }
    const long residentAtEnd = processprobe::residentKiB();

    window.reset();
    QCOMPARE(bus->openHandles(), 0);
    QCOMPARE(processprobe::openFileDescriptorsSettlingAt(descriptorsAtStart), descriptorsAtStart);

    QVERIFY(residentAtStart > 0 && residentAtEnd > 0);
    const long growth = residentAtEnd - residentAtStart;
    qInfo("resident memory: %ld KiB at round %d, %ld KiB at round %d (%+ld KiB)", residentAtStart,
          kMeasuredFrom, residentAtEnd, kRounds, growth);
    if (processprobe::underAddressSanitizer()) {
        qInfo("built with AddressSanitizer: its quarantine and shadow memory make resident "
              "memory meaningless, so only descriptors and handles are checked here");
    } else {
        QVERIFY2(growth < kMaxGrowthKiB, qPrintable(QStringLiteral("grew by %1 KiB").arg(growth)));
    }
}

QTEST_MAIN(TestSoak)
#include "tst_soak.moc"
