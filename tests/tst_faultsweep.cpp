// SPDX-License-Identifier: LGPL-3.0-or-later
// Every fault the virtual printer can inject, at every piece of a five-piece upload, in both
// modes: the warning, the bar at the last piece sent, no handle or descriptor left behind,
// and a clean upload to the same printer after a new enumeration.
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
#include <QRandomGenerator>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

Q_DECLARE_METATYPE(Fault)

namespace {

const QString kErrorTitle = QStringLiteral("错误");
const QString kSendFailedText = QStringLiteral("发送数据到打印机出错, \r\n请检查打印机状态!");
const QString kSentTitle = QStringLiteral("完成");
const QString kSentText = QStringLiteral("固件数据已经发送完毕, 请根据打印机面板进行后续操作!");
// Five pieces in either mode: 4 x 4096 + 3616 bare, 4 x 4096 + 3640 behind the header.
constexpr int kFileSize = 20000;
constexpr int kPiece = 4096;

QByteArray firmwareBytes()
{
    QByteArray bytes(kFileSize, Qt::Uninitialized);
    QRandomGenerator gen(20000);
    for (char &b : bytes)
        b = char(gen.bounded(256));
    return bytes;
}

// The header of a 20000-byte file: the length field holds 20016.
QByteArray upgradeHeader()
{
    return QByteArray("\x1C\x77\x46\x00\x30\x4E\x00\x00" "FWUP", 12) + QByteArray(12, '\0');
}

// The bar as it stood when the message box came up.
struct BarAtBox
{
    int value = -1;
    bool shown = false;
};

DialogDriver::Answer noteBarAndClose(BarAtBox *note, QProgressBar *bar)
{
    return [=](QWidget *dialog) {
        note->value = bar->value();
        note->shown = !bar->isHidden();
        DialogDriver::accept()(dialog);
    };
}

} // namespace

class TestFaultSweep : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void sweep_data();
    void sweep();

private:
    Ui_Widget *ui() { return WidgetInspector::ui(*window); }
    void openWindowOnFirmwarePage();
    void upload(bool normalMode, QVector<SeenDialog> *seen, BarAtBox *atBox);

    std::unique_ptr<VirtualPrinterBus> bus;
    std::unique_ptr<QTemporaryDir> appDir;
    std::unique_ptr<Widget> window;
    QString firmwarePath;
    int descriptorsAtRest = -1;
};

void TestFaultSweep::initTestCase()
{
    // Before the first libusb context, which the first window creates.
    bus = std::make_unique<VirtualPrinterBus>();

    // One printer for the whole sweep: it must take every fault and still work. (Each added
    // device also keeps a socket of the emulator open, which would blur the count below.)
    QCOMPARE(bus->addDevice(VirtualDevice{}), 0);

    // One whole round first, so that what Qt and libusb open once per process is open
    // before the descriptors are counted.
    init();
    openWindowOnFirmwarePage();
    QVector<SeenDialog> seen;
    BarAtBox atBox;
    upload(false, &seen, &atBox);
    bus->injectFault(0, 1, Fault::Stall);
    upload(false, &seen, &atBox);
    QCOMPARE(seen.size(), 2);
    window.reset();
    descriptorsAtRest = processprobe::quietOpenFileDescriptors();
}

void TestFaultSweep::cleanupTestCase()
{
    window.reset();
    WidgetInspector::setExecutableLink(QString());
    bus.reset();
}

void TestFaultSweep::init()
{
    bus->clearLogs();
    appDir = std::make_unique<QTemporaryDir>();
    QVERIFY(appDir->isValid());
    QVERIFY(WidgetInspector::setAppDir(appDir->path()));
    QFile ini(appDir->filePath(QStringLiteral("configTool.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    QVERIFY(ini.write("[CONFIG_PRINTER]\nMAXL=1016\nMINL=656\nSCALE_X=4\nSCALE_Y=4\nTITLE=sweep\n"
                      "BlackFront=1\nBlackBack=1\nEraseFront=1\nEraseBack=1\n") > 0);
    ini.close();
    firmwarePath = appDir->filePath(QStringLiteral("fw.mot"));
    QFile fw(firmwarePath);
    QVERIFY(fw.open(QIODevice::WriteOnly));
    QCOMPARE(fw.write(firmwareBytes()), qint64(kFileSize));
}

void TestFaultSweep::cleanup()
{
    window.reset();
    QVERIFY(!QApplication::activeModalWidget());
    // Every printer handle was closed with the window, and no descriptor stayed open.
    QCOMPARE(bus->openHandles(), 0);
    if (descriptorsAtRest >= 0) {
        const int now = processprobe::openFileDescriptorsSettlingAt(descriptorsAtRest);
        QVERIFY2(now == descriptorsAtRest,
                 qPrintable(QStringLiteral("%1 descriptors open, %2 before: ").arg(now).arg(descriptorsAtRest)
                            + processprobe::openFileTargets().join(QStringLiteral(", "))));
    }
}

void TestFaultSweep::openWindowOnFirmwarePage()
{
    window = std::make_unique<Widget>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    // A real page change, which enumerates the printers.
    ui()->tabWidget->setCurrentWidget(ui()->tab4);
    ui()->tabWidget->setCurrentWidget(ui()->tab3);
    QCOMPARE(ui()->printerList->count(), 1);
    QCOMPARE(WidgetInspector::usb(*window)->currentPrinter, 0);
    WidgetInspector::fwPath(*window) = firmwarePath;
}

void TestFaultSweep::upload(bool normalMode, QVector<SeenDialog> *seen, BarAtBox *atBox)
{
    (normalMode ? ui()->stdFWUpdate : ui()->nonStdFWUpdate)->click();
    DialogDriver driver;
    driver.then(noteBarAndClose(atBox, ui()->fwUpdateProcessBar)).then(DialogDriver::cancel());
    ui()->doFWUpdate->click();
    *seen += driver.seen();
}

void TestFaultSweep::sweep_data()
{
    QTest::addColumn<bool>("normalMode");
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<int>("piece");
    QTest::addColumn<int>("barValue");

    // The bar counts the bytes before each piece sent, so a failure at piece n leaves the
    // value set after piece n - 1: offset (n - 2) x 4096 of T (20000 or 20024), truncated.
    const int barBefore[] = {0, 0, 0, 20, 40, 61};
    const struct
    {
        Fault fault;
        const char *name;
    } faults[] = {{Fault::Stall, "stall"},
                  {Fault::DeviceGone, "device gone"},
                  {Fault::ShortWrite, "short write"},
                  {Fault::InterfaceBusy, "interface busy"}};
    for (bool normalMode : {false, true}) {
        for (const auto &f : faults) {
            for (int piece = 1; piece <= 5; ++piece) {
                QTest::addRow("%s, %s at piece %d", normalMode ? "normal" : "ROOT", f.name, piece)
                    << normalMode << f.fault << piece << barBefore[piece];
            }
        }
    }
}

void TestFaultSweep::sweep()
{
    QFETCH(bool, normalMode);
    QFETCH(Fault, fault);
    QFETCH(int, piece);
    QFETCH(int, barValue);

    const QByteArray expected = (normalMode ? upgradeHeader() : QByteArray()) + firmwareBytes();
    openWindowOnFirmwarePage();
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(bus->openHandles(), 1);
    bus->clearLogs();
    const int claimsAtStart = bus->claims(0);
    const int releasesAtStart = bus->releases(0);
    // Counted from now: the nth bulk transfer, or for a busy interface the nth claim.
    bus->injectFault(0, piece, fault);

    QVector<SeenDialog> seen;
    BarAtBox atBox;
    upload(normalMode, &seen, &atBox);

    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen[0].className, QStringLiteral("QMessageBox"));
    QCOMPARE(seen[0].title, kErrorTitle);
    QCOMPARE(seen[0].text, kSendFailedText);
    QCOMPARE(seen[0].icon, int(QMessageBox::Warning));
    QCOMPARE(atBox.value, barValue);
    QVERIFY(atBox.shown);
    QCOMPARE(ui()->fwUpdateProcessBar->value(), barValue);
    QVERIFY(!ui()->fwUpdateProcessBar->isHidden());

    // The pieces before the fault arrived whole, and nothing was sent after it.
    const QVector<BulkTransfer> transfers = bus->bulkTransfers(0);
    const int attempted = fault == Fault::InterfaceBusy ? piece - 1 : piece;
    QCOMPARE(transfers.size(), attempted);
    for (int i = 0; i < piece - 1; ++i)
        QVERIFY2(transfers[i].data == expected.mid(i * kPiece, kPiece),
                 qPrintable(QStringLiteral("piece %1").arg(i + 1)));
    // Every claim that succeeded was released; the failed one had nothing to release.
    const int refusedClaims = fault == Fault::InterfaceBusy ? 1 : 0;
    QCOMPARE(bus->claims(0) - claimsAtStart, piece);
    QCOMPARE(bus->releases(0) - releasesAtStart, piece - refusedClaims);
    QCOMPARE(bus->openHandles(), 1);
    // A failed send changes neither the list nor the selection.
    QCOMPARE(ui()->printerList->count(), 1);
    QCOMPARE(WidgetInspector::usb(*window)->currentPrinter, 0);

    // A new enumeration finds the same printer, and the whole upload goes through.
    ui()->enumPrintersButton->click();
    QCOMPARE(ui()->printerList->count(), 1);
    QCOMPARE(bus->openHandles(), 1);
    bus->clearLogs();
    const int claimsBefore = bus->claims(0);
    const int releasesBefore = bus->releases(0);
    seen.clear();
    upload(normalMode, &seen, &atBox);
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen[0].title, kSentTitle);
    QCOMPARE(seen[0].text, kSentText);
    QCOMPARE(atBox.value, 100);
    QVERIFY(ui()->fwUpdateProcessBar->isHidden());
    QByteArray received;
    for (const BulkTransfer &t : bus->bulkTransfers(0)) {
        QCOMPARE(t.data.size(), t.length);
        received += t.data;
    }
    QCOMPARE(bus->bulkTransfers(0).size(), 5);
    QVERIFY(received == expected);
    QCOMPARE(bus->claims(0) - claimsBefore, 5);
    QCOMPARE(bus->releases(0) - releasesBefore, 5);
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    TestFaultSweep test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_faultsweep.moc"
