// SPDX-License-Identifier: LGPL-3.0-or-later
// The firmware page end to end: the window, the real libusb and printers on the virtual bus.
#include "dialogdriver.h"
#include "virtualprinter.h"
#include "widgetinspector.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include <memory>

Q_DECLARE_METATYPE(Fault)

// Stops the calling test function when a helper has failed.
#define CALL(expr)                                                                                 \
    do {                                                                                           \
        expr;                                                                                      \
        if (QTest::currentTestFailed())                                                            \
            return;                                                                                \
    } while (false)

namespace {

const QString kSentTitle = QStringLiteral("完成");
const QString kSentText = QStringLiteral("固件数据已经发送完毕, 请根据打印机面板进行后续操作!");
const QString kErrorTitle = QStringLiteral("错误");
const QString kSendFailedText = QStringLiteral("发送数据到打印机出错, \r\n请检查打印机状态!");
const QString kTooLargeText = QStringLiteral("固件文件太大, 无法发送!");

QByteArray firmwareBytes(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator gen(quint32(size) + 7);
    for (int i = 0; i < size; ++i)
        bytes[i] = char(gen.bounded(256));
    return bytes;
}

QByteArray upgradeHeader(const QByteArray &lengthField)
{
    return QByteArray("\x1C\x77\x46\x00", 4) + lengthField + QByteArray("FWUP") + QByteArray(12, '\0');
}

// Claim, one bulk transfer and release for every piece, as a printer should see them.
QStringList trafficFor(const QVector<int> &pieces)
{
    QStringList events;
    for (int length : pieces)
        events << QStringLiteral("claim 0") << QStringLiteral("bulk 01 %1").arg(length)
               << QStringLiteral("release 0");
    return events;
}

// Whether every value of `wanted` shows up in `seen`, in order.
bool inOrder(const QVector<int> &wanted, const QVector<int> &seen)
{
    int at = 0;
    for (int v : seen)
        if (at < wanted.size() && wanted.at(at) == v)
            ++at;
    return at == wanted.size();
}

long peakResidentKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Every value the progress bar takes, and the values it painted.
class BarWatch : public QObject
{
public:
    explicit BarWatch(QProgressBar *bar)
        : m_bar(bar)
    {
        // Back to "no value", so that the upload's first setValue(0) shows up as a change.
        bar->reset();
        connect(bar, &QProgressBar::valueChanged, this, [this](int v) { values << v; });
        bar->installEventFilter(this);
    }

    QVector<int> values;
    QVector<int> painted;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_bar && event->type() == QEvent::Paint)
            painted << m_bar->value();
        return false;
    }

private:
    QProgressBar *m_bar;
};

// The bar as it stood when a message box came up.
struct BarAtBox
{
    int value = -1;
    bool shown = false;
    QVector<int> painted;
    QMessageBox::StandardButtons buttons;
};

// The upload's closing boxes: exactly one, without a parent window, with Ok alone.
void verifyOneBox(const DialogDriver &driver, const BarAtBox &atBox, const QString &title,
                  const QString &text, QMessageBox::Icon icon)
{
    QCOMPARE(driver.seen().size(), 1);
    const SeenDialog &box = driver.seen().at(0);
    QCOMPARE(box.className, QStringLiteral("QMessageBox"));
    QCOMPARE(box.title, title);
    QCOMPARE(box.text, text);
    QCOMPARE(box.icon, int(icon));
    QVERIFY(!box.hasParent);
    QCOMPARE(atBox.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

DialogDriver::Answer noteBarAndClose(BarAtBox *note, QProgressBar *bar, const BarWatch *watch)
{
    return [=](QWidget *dialog) {
        note->value = bar->value();
        note->shown = !bar->isHidden();
        note->painted = watch->painted;
        if (auto *box = qobject_cast<QMessageBox *>(dialog))
            note->buttons = box->standardButtons();
        DialogDriver::accept()(dialog);
    };
}

} // namespace

class tst_Firmware : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void upload_data();
    void upload();
    void failedPiece_data();
    void failedPiece();
    void noPrinterSelected_data();
    void noPrinterSelected();
    void unopenableFile_data();
    void unopenableFile();
    void tooLarge_data();
    void tooLarge();

    void twoPrinters();
    void pageChange_data();
    void pageChange();
    void firstVisitEnlargesTabWidget_data();
    void firstVisitEnlargesTabWidget();

    void chosenPath_data();
    void chosenPath();
    void cancelledChoice();

private:
    Ui_Widget *ui() { return WidgetInspector::ui(*window); }
    Usb *usb() { return WidgetInspector::usb(*window); }
    QProgressBar *bar() { return ui()->fwUpdateProcessBar; }

    void writeConfig(int printFront, int printBack, int eraseFront, int eraseBack);
    QString writeFile(const QString &name, const QByteArray &bytes);
    QString rootFile(int pathLength);
    void openWindow();
    void showFirmwarePage();
    void chooseFirmware(const QString &path);
    QStringList traffic(int device) const;
    void verifyNothingSent();

    std::unique_ptr<VirtualPrinterBus> bus;
    std::unique_ptr<QTemporaryDir> appDir;
    std::unique_ptr<Widget> window;
    QStringList rootFiles;
};

void tst_Firmware::initTestCase()
{
    // Before the first libusb context, which the first window creates.
    bus = std::make_unique<VirtualPrinterBus>();
}

void tst_Firmware::cleanupTestCase()
{
    WidgetInspector::setExecutableLink(QString());
    bus.reset();
}

void tst_Firmware::init()
{
    bus->reset();
    appDir = std::make_unique<QTemporaryDir>();
    QVERIFY(appDir->isValid());
    QVERIFY(WidgetInspector::setAppDir(appDir->path()));
    writeConfig(1, 1, 1, 1);
}

void tst_Firmware::cleanup()
{
    window.reset();
    for (const QString &path : qAsConst(rootFiles))
        QFile::remove(path);
    rootFiles.clear();
    const auto tops = QApplication::topLevelWidgets();
    for (QWidget *w : tops)
        QVERIFY2(!(w->isVisible() && qobject_cast<QDialog *>(w)),
                 qPrintable(QStringLiteral("dialog left open: ") + w->windowTitle()));
}

void tst_Firmware::writeConfig(int printFront, int printBack, int eraseFront, int eraseBack)
{
    QFile ini(appDir->filePath(QStringLiteral("configTool.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    const QString text = QStringLiteral("[CONFIG_PRINTER]\nMAXL=1016\nMINL=656\nSCALE_X=4\n"
                                        "SCALE_Y=4\nTITLE=firmware test\nBlackFront=%1\n"
                                        "BlackBack=%2\nEraseFront=%3\nEraseBack=%4\n")
                             .arg(printFront)
                             .arg(printBack)
                             .arg(eraseFront)
                             .arg(eraseBack);
    QVERIFY(ini.write(text.toUtf8()) > 0);
}

QString tst_Firmware::writeFile(const QString &name, const QByteArray &bytes)
{
    const QString path = appDir->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return QString();
    return path;
}

// A new file whose absolute path is exactly pathLength characters long; only "/" is that short.
QString tst_Firmware::rootFile(int pathLength)
{
    for (int attempt = 0; attempt < 1000; ++attempt) {
        QString path = QStringLiteral("/");
        while (path.size() < pathLength)
            path += QChar('a' + QRandomGenerator::global()->bounded(26));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            file.write("fw");
            rootFiles << path;
            return path;
        }
    }
    return QString();
}

void tst_Firmware::openWindow()
{
    window = std::make_unique<Widget>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

// Makes the firmware page current through a real page change, which refreshes the list.
void tst_Firmware::showFirmwarePage()
{
    QTabWidget *tabs = ui()->tabWidget;
    if (tabs->currentWidget() == ui()->tab3)
        tabs->setCurrentWidget(ui()->tab4);
    tabs->setCurrentWidget(ui()->tab3);
    QCOMPARE(tabs->currentWidget(), ui()->tab3);
    bus->clearLogs();
}

void tst_Firmware::chooseFirmware(const QString &path)
{
    QVERIFY(!path.isEmpty());
    DialogDriver driver;
    driver.then(DialogDriver::chooseFile(path)).then(DialogDriver::cancel());
    ui()->detectbutton->click();
    QCOMPARE(driver.seen().size(), 1);
    QCOMPARE(driver.seen().at(0).className, QStringLiteral("QFileDialog"));
    QCOMPARE(WidgetInspector::fwPath(*window), path);
}

// What a device saw of interface claims and bulk transfers, without opens and control requests.
QStringList tst_Firmware::traffic(int device) const
{
    return bus->events(device).filter(QRegularExpression(QStringLiteral("^(claim|release|bulk) ")));
}

void tst_Firmware::verifyNothingSent()
{
    QVERIFY(bus->bulkTransfers().isEmpty());
    for (int device = 0; device < 2; ++device)
        QCOMPARE(traffic(device), QStringList());
}

// --- uploads ---------------------------------------------------------------------------------

void tst_Firmware::upload_data()
{
    QTest::addColumn<int>("fileSize");
    QTest::addColumn<bool>("normalMode");
    QTest::addColumn<QByteArray>("lengthField"); // normal mode: bytes 4 to 7 of the header
    QTest::addColumn<QVector<int>>("pieces");
    QTest::addColumn<QVector<int>>("barValues");

    QTest::newRow("10000 bytes, normal: the worked example")
        << 10000 << true << QByteArray("\x20\x27\x00\x00", 4) << QVector<int>{4096, 4096, 1832}
        << QVector<int>{0, 40, 81, 100};
    QTest::newRow("10000 bytes, ROOT: the bare file")
        << 10000 << false << QByteArray() << QVector<int>{4096, 4096, 1808}
        << QVector<int>{0, 40, 81, 100};
    QTest::newRow("4096 bytes, ROOT: one whole piece")
        << 4096 << false << QByteArray() << QVector<int>{4096} << QVector<int>{0, 100};
    QTest::newRow("4073 bytes, normal: one byte over a piece")
        << 4073 << true << QByteArray("\xF9\x0F\x00\x00", 4) << QVector<int>{4096, 1}
        << QVector<int>{0, 99, 100};
    QTest::newRow("8192 bytes, normal: the header pushes 24 bytes into a third piece")
        << 8192 << true << QByteArray("\x10\x20\x00\x00", 4) << QVector<int>{4096, 4096, 24}
        << QVector<int>{0, 49, 99, 100};
    QTest::newRow("empty file, normal: the header alone")
        << 0 << true << QByteArray("\x10\x00\x00\x00", 4) << QVector<int>{24}
        << QVector<int>{0, 100};
    QTest::newRow("empty file, ROOT: nothing to send, still done")
        << 0 << false << QByteArray() << QVector<int>{} << QVector<int>{0, 100};
}

void tst_Firmware::upload()
{
    QFETCH(int, fileSize);
    QFETCH(bool, normalMode);
    QFETCH(QByteArray, lengthField);
    QFETCH(QVector<int>, pieces);
    QFETCH(QVector<int>, barValues);

    const QByteArray file = firmwareBytes(fileSize);
    const QString path = writeFile(QStringLiteral("printer-firmware.mot"), file);
    QCOMPARE(bus->addDevice(VirtualDevice{}), 0);
    CALL(openWindow());
    CALL(showFirmwarePage());
    QCOMPARE(usb()->currentPrinter, 0);
    CALL(chooseFirmware(path));
    (normalMode ? ui()->stdFWUpdate : ui()->nonStdFWUpdate)->click();

    BarWatch watch(bar());
    BarAtBox atBox;
    DialogDriver driver;
    driver.then(noteBarAndClose(&atBox, bar(), &watch)).then(DialogDriver::cancel());
    ui()->doFWUpdate->click();

    CALL(verifyOneBox(driver, atBox, kSentTitle, kSentText, QMessageBox::Information));

    QCOMPARE(watch.values, barValues);
    QCOMPARE(atBox.value, 100);
    QVERIFY(atBox.shown);
    QVERIFY2(inOrder(barValues.mid(1), atBox.painted),
             "each new value must be painted before the upload ends");
    QVERIFY(bar()->isHidden());

    const QByteArray expected = (normalMode ? upgradeHeader(lengthField) : QByteArray()) + file;
    const QVector<BulkTransfer> transfers = bus->bulkTransfers(0);
    QVector<int> lengths;
    QByteArray received;
    for (const BulkTransfer &t : transfers) {
        QCOMPARE(t.endpoint, quint8(0x01));
        QCOMPARE(t.data.size(), t.length);
        lengths << t.length;
        received += t.data;
    }
    QCOMPARE(lengths, pieces);
    QCOMPARE(received.size(), expected.size());
    QVERIFY(received == expected);
    QCOMPARE(traffic(0),
             trafficFor(pieces));
}

// --- failures --------------------------------------------------------------------------------

void tst_Firmware::failedPiece_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<int>("nth");
    QTest::addColumn<QStringList>("expectedTraffic");
    QTest::addColumn<int>("acceptedPieces");
    QTest::addColumn<QVector<int>>("barValues");

    // A 10000-byte file in normal mode: T = 10024, pieces 4096, 4096, 1832.
    const QStringList claimed{QStringLiteral("claim 0")};
    const QStringList released{QStringLiteral("release 0")};
    QTest::newRow("stall on the third piece: bar left at 4096/T")
        << Fault::Stall << 3
        << trafficFor({4096, 4096}) + claimed + QStringList{QStringLiteral("bulk 01 1832 stall")} + released
        << 2 << QVector<int>{0, 40};
    QTest::newRow("printer gone on the second piece")
        << Fault::DeviceGone << 2
        << trafficFor({4096}) + claimed + QStringList{QStringLiteral("bulk 01 4096 gone")} + released
        << 1 << QVector<int>{0};
    QTest::newRow("short write on the first piece")
        << Fault::ShortWrite << 1
        << claimed + QStringList{QStringLiteral("bulk 01 4096 short 2048")} + released << 0
        << QVector<int>{0};
    QTest::newRow("interface busy before the second piece: nothing to release")
        << Fault::InterfaceBusy << 2 << trafficFor({4096}) + QStringList{QStringLiteral("claim 0 busy")}
        << 1 << QVector<int>{0};
}

void tst_Firmware::failedPiece()
{
    QFETCH(Fault, fault);
    QFETCH(int, nth);
    QFETCH(QStringList, expectedTraffic);
    QFETCH(int, acceptedPieces);
    QFETCH(QVector<int>, barValues);

    const QByteArray file = firmwareBytes(10000);
    const QByteArray expected = upgradeHeader(QByteArray("\x20\x27\x00\x00", 4)) + file;
    QCOMPARE(bus->addDevice(VirtualDevice{}), 0);
    CALL(openWindow());
    CALL(showFirmwarePage());
    CALL(chooseFirmware(writeFile(QStringLiteral("fw.mot"), file)));
    QVERIFY(ui()->stdFWUpdate->isChecked());
    bus->injectFault(0, nth, fault);

    BarWatch watch(bar());
    BarAtBox atBox;
    DialogDriver driver;
    driver.then(noteBarAndClose(&atBox, bar(), &watch)).then(DialogDriver::cancel());
    ui()->doFWUpdate->click();

    CALL(verifyOneBox(driver, atBox, kErrorTitle, kSendFailedText, QMessageBox::Warning));

    QCOMPARE(watch.values, barValues);
    QVERIFY(!bar()->isHidden());
    QCOMPARE(bar()->value(), barValues.last());

    QCOMPARE(traffic(0), expectedTraffic);
    const QVector<BulkTransfer> transfers = bus->bulkTransfers(0);
    QVERIFY(transfers.size() >= acceptedPieces);
    for (int i = 0; i < acceptedPieces; ++i)
        QVERIFY2(transfers.at(i).data == expected.mid(i * 4096, 4096),
                 qPrintable(QStringLiteral("piece %1").arg(i + 1)));
}

void tst_Firmware::noPrinterSelected_data()
{
    QTest::addColumn<int>("printers");
    QTest::addColumn<bool>("clearSelection");
    QTest::addColumn<bool>("dropUsb");

    QTest::newRow("no printer attached: empty list") << 0 << false << false;
    QTest::newRow("the list lost its current row") << 1 << true << false;
    QTest::newRow("no USB link") << 1 << false << true;
}

void tst_Firmware::noPrinterSelected()
{
    QFETCH(int, printers);
    QFETCH(bool, clearSelection);
    QFETCH(bool, dropUsb);

    for (int i = 0; i < printers; ++i)
        bus->addDevice(VirtualDevice{});
    CALL(openWindow());
    CALL(showFirmwarePage());
    QCOMPARE(ui()->printerList->count(), printers);
    CALL(chooseFirmware(writeFile(QStringLiteral("fw.mot"), firmwareBytes(100))));
    if (clearSelection) {
        ui()->printerList->setCurrentRow(-1);
        QCOMPARE(usb()->currentPrinter, -1);
    }
    if (dropUsb) {
        delete WidgetInspector::usbSlot(*window);
        WidgetInspector::usbSlot(*window) = nullptr;
    } else if (printers == 0) {
        QCOMPARE(usb()->currentPrinter, -1);
    }

    const bool barWasHidden = bar()->isHidden();
    BarWatch watch(bar());
    DialogDriver driver;
    driver.then(DialogDriver::cancel());
    ui()->doFWUpdate->click();

    QVERIFY(driver.seen().isEmpty());
    QVERIFY(watch.values.isEmpty());
    QCOMPARE(bar()->isHidden(), barWasHidden);
    CALL(verifyNothingSent());
}

void tst_Firmware::unopenableFile_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("never chosen") << QStringLiteral("never chosen");
    QTest::newRow("removed after choosing") << QStringLiteral("removed");
    QTest::newRow("a directory") << QStringLiteral("directory");
}

void tst_Firmware::unopenableFile()
{
    QFETCH(QString, how);

    bus->addDevice(VirtualDevice{});
    CALL(openWindow());
    CALL(showFirmwarePage());
    if (how == QLatin1String("removed")) {
        const QString path = writeFile(QStringLiteral("fw.mot"), firmwareBytes(100));
        CALL(chooseFirmware(path));
        QVERIFY(QFile::remove(path));
    } else if (how == QLatin1String("directory")) {
        WidgetInspector::fwPath(*window) = appDir->path();
    }

    BarWatch watch(bar());
    DialogDriver driver;
    driver.then(DialogDriver::cancel());
    ui()->doFWUpdate->click();

    QVERIFY(driver.seen().isEmpty());
    QCOMPARE(watch.values, QVector<int>{0});
    QVERIFY(!bar()->isHidden());
    CALL(verifyNothingSent());
}

void tst_Firmware::tooLarge_data()
{
    QTest::addColumn<qint64>("fileSize");
    QTest::addColumn<bool>("normalMode");

    const qint64 twoGiB = qint64(1) << 31;
    QTest::newRow("2 GiB, normal") << twoGiB << true;
    QTest::newRow("2 GiB, ROOT") << twoGiB << false;
    QTest::newRow("2 GiB - 24, normal: the header makes 2^31") << twoGiB - 24 << true;
    QTest::newRow("2 GiB - 25, normal: 2^31 - 1 bytes, more than one array holds")
        << twoGiB - 25 << true;
    QTest::newRow("4 GiB + 100, ROOT: a size that wraps to a small int")
        << (qint64(1) << 32) + 100 << false;
}

void tst_Firmware::tooLarge()
{
    QFETCH(qint64, fileSize);
    QFETCH(bool, normalMode);

    // Sparse: costs no disk space, and reading it would cost gigabytes of memory.
    const QString path = appDir->filePath(QStringLiteral("huge.mot"));
    {
        QFile huge(path);
        QVERIFY(huge.open(QIODevice::WriteOnly));
        QVERIFY(huge.resize(fileSize));
    }
    bus->addDevice(VirtualDevice{});
    CALL(openWindow());
    CALL(showFirmwarePage());
    CALL(chooseFirmware(path));
    (normalMode ? ui()->stdFWUpdate : ui()->nonStdFWUpdate)->click();

    const long peakBefore = peakResidentKiB();
    BarWatch watch(bar());
    BarAtBox atBox;
    DialogDriver driver;
    driver.then(noteBarAndClose(&atBox, bar(), &watch)).then(DialogDriver::cancel());
    ui()->doFWUpdate->click();

    CALL(verifyOneBox(driver, atBox, kErrorTitle, kTooLargeText, QMessageBox::Warning));
    QCOMPARE(watch.values, QVector<int>{0});
    QVERIFY(bar()->isHidden());
    CALL(verifyNothingSent());
    QVERIFY2(peakResidentKiB() - peakBefore < 256 * 1024, "the file must not be read");
}

// --- the printer list ------------------------------------------------------------------------

void tst_Firmware::twoPrinters()
{
    VirtualDevice beta;
    beta.vendorId = 0x08BD;
    beta.productId = 0x0003;
    beta.deviceId = QByteArray("\x00\x12" "MFG:Beta;MDL:Z9;", 18);
    const int acmeDevice = bus->addDevice(VirtualDevice{});
    const int betaDevice = bus->addDevice(beta);
    CALL(openWindow());
    CALL(showFirmwarePage());

    QListWidget *list = ui()->printerList;
    QStringList rows;
    for (int i = 0; i < list->count(); ++i)
        rows << list->item(i)->text();
    QCOMPARE(rows, QStringList(usb()->printerNames));
    QStringList sorted = rows;
    sorted.sort();
    QCOMPARE(sorted, (QStringList{QStringLiteral("ACME CP500_2867:12"), QStringLiteral("Beta Z9_8bd:3")}));
    QCOMPARE(list->currentRow(), 0);
    QCOMPARE(usb()->currentPrinter, 0);

    CALL(chooseFirmware(writeFile(QStringLiteral("fw.mot"), firmwareBytes(100))));
    ui()->nonStdFWUpdate->click();
    // Each row in turn: the upload goes to that row's printer only.
    for (int row : {1, 0}) {
        list->setCurrentRow(row);
        QCOMPARE(usb()->currentPrinter, row);
        const bool toBeta = rows.at(row).startsWith(QLatin1String("Beta"));
        const int target = toBeta ? betaDevice : acmeDevice;
        const int other = toBeta ? acmeDevice : betaDevice;
        bus->clearLogs();
        DialogDriver driver;
        driver.then(DialogDriver::accept()).then(DialogDriver::cancel());
        ui()->doFWUpdate->click();
        QCOMPARE(driver.seen().size(), 1);
        QCOMPARE(driver.seen().at(0).title, kSentTitle);
        QCOMPARE(bus->bulkTransfers(target).size(), 1);
        QCOMPARE(bus->bulkTransfers(target).at(0).length, 100);
        QVERIFY(bus->bulkTransfers(other).isEmpty());
        QCOMPARE(traffic(other), QStringList());
    }

    // The button enumerates afresh: a printer that has gone leaves the list.
    bus->unplug(betaDevice);
    ui()->enumPrintersButton->click();
    QCOMPARE(list->count(), 1);
    QCOMPARE(list->item(0)->text(), QStringLiteral("ACME CP500_2867:12"));
    QCOMPARE(list->currentRow(), 0);
    QCOMPARE(usb()->currentPrinter, 0);
}

void tst_Firmware::pageChange_data()
{
    QTest::addColumn<int>("page"); // 1 to 4: tab1 ... tab4
    QTest::addColumn<bool>("refreshes");

    QTest::newRow("firmware page: list rebuilt, bar hidden") << 3 << true;
    QTest::newRow("About page: list rebuilt, bar hidden") << 4 << true;
    QTest::newRow("print area page: nothing changes") << 1 << false;
    QTest::newRow("erase area page: nothing changes") << 2 << false;
}

void tst_Firmware::pageChange()
{
    QFETCH(int, page);
    QFETCH(bool, refreshes);

    bus->addDevice(VirtualDevice{});
    CALL(openWindow());
    QWidget *pages[] = {ui()->tab1, ui()->tab2, ui()->tab3, ui()->tab4};
    QTabWidget *tabs = ui()->tabWidget;
    QCOMPARE(tabs->count(), 4);
    tabs->setCurrentWidget(page == 1 ? ui()->tab2 : ui()->tab1);

    QListWidget *list = ui()->printerList;
    list->clear();
    list->addItem(QStringLiteral("stale entry"));
    usb()->currentPrinter = 5;
    bar()->setValue(37);
    bar()->show();
    const QSize tabSize = tabs->size();
    bus->clearLogs();

    tabs->setCurrentWidget(pages[page - 1]);

    if (refreshes) {
        QCOMPARE(list->count(), 1);
        QCOMPARE(list->item(0)->text(), QStringLiteral("ACME CP500_2867:12"));
        QCOMPARE(list->currentRow(), 0);
        QCOMPARE(usb()->currentPrinter, 0);
        QVERIFY(bar()->isHidden());
        QCOMPARE(bus->opens(0), 1);
    } else {
        QCOMPARE(list->count(), 1);
        QCOMPARE(list->item(0)->text(), QStringLiteral("stale entry"));
        QCOMPARE(usb()->currentPrinter, 5);
        QVERIFY(!bar()->isHidden());
        QCOMPARE(bar()->value(), 37);
        QCOMPARE(bus->opens(0), 0);
        QCOMPARE(tabs->size(), tabSize);
    }
}

void tst_Firmware::firstVisitEnlargesTabWidget_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<bool>("withUsb");
    QTest::addColumn<bool>("acts");

    QTest::newRow("firmware page") << 3 << true << true;
    QTest::newRow("About page") << 4 << true << true;
    QTest::newRow("firmware page without a USB link: nothing at all") << 3 << false << false;
    QTest::newRow("About page without a USB link: list cleared, still enlarged") << 4 << false << true;
}

void tst_Firmware::firstVisitEnlargesTabWidget()
{
    QFETCH(int, page);
    QFETCH(bool, withUsb);
    QFETCH(bool, acts);

    writeConfig(1, 0, 0, 1); // one side of each kind: the start-up halves the tab widget
    bus->addDevice(VirtualDevice{});
    CALL(openWindow());
    QTabWidget *tabs = ui()->tabWidget;
    QCOMPARE(tabs->size(), QSize(445, 434));
    QCOMPARE(tabs->currentWidget(), ui()->tab1);
    if (!withUsb) {
        delete WidgetInspector::usbSlot(*window);
        WidgetInspector::usbSlot(*window) = nullptr;
    }
    ui()->printerList->addItem(QStringLiteral("stale entry"));
    bar()->show();

    QWidget *target = page == 3 ? ui()->tab3 : ui()->tab4;
    tabs->setCurrentWidget(target);

    const QSize expectedSize = acts ? QSize(450, 770) : QSize(445, 434);
    QCOMPARE(tabs->size(), expectedSize);
    QCOMPARE(bar()->isHidden(), acts);
    QStringList rows;
    for (int i = 0; i < ui()->printerList->count(); ++i)
        rows << ui()->printerList->item(i)->text();
    if (!acts)
        QCOMPARE(rows, QStringList{QStringLiteral("stale entry")});
    else if (withUsb)
        QCOMPARE(rows, QStringList{QStringLiteral("ACME CP500_2867:12")});
    else
        QVERIFY(rows.isEmpty());

    // The size stays on every page afterwards.
    for (QWidget *next : {ui()->tab1, ui()->tab2, target}) {
        tabs->setCurrentWidget(next);
        QCOMPARE(tabs->size(), expectedSize);
    }
}

// --- the chosen path -------------------------------------------------------------------------

void tst_Firmware::chosenPath_data()
{
    QTest::addColumn<int>("pathLength");
    QTest::addColumn<bool>("shown");

    QTest::newRow("five characters: kept, not shown") << 5 << false;
    QTest::newRow("six characters: shown") << 6 << true;
}

void tst_Firmware::chosenPath()
{
    QFETCH(int, pathLength);
    QFETCH(bool, shown);

    const QString path = rootFile(pathLength);
    QCOMPARE(path.size(), pathLength);
    CALL(openWindow());
    CALL(showFirmwarePage());
    const QString earlier = QStringLiteral("/earlier/choice.mot");
    ui()->curPrintFWFile->setText(earlier);

    DialogDriver driver;
    driver.then(DialogDriver::chooseFile(path)).then(DialogDriver::cancel());
    ui()->detectbutton->click();

    QCOMPARE(driver.seen().size(), 1);
    const SeenDialog &dialog = driver.seen().at(0);
    QCOMPARE(dialog.className, QStringLiteral("QFileDialog"));
    QCOMPARE(dialog.title, QStringLiteral("选择打印机固件"));
    QCOMPARE(dialog.nameFilters, QStringLiteral("所有(*);;FW(*.mot)"));
    QVERIFY(dialog.hasParent);
    QCOMPARE(WidgetInspector::fwPath(*window), path);
    QCOMPARE(ui()->curPrintFWFile->text(), shown ? path : earlier);
}

void tst_Firmware::cancelledChoice()
{
    bus->addDevice(VirtualDevice{});
    CALL(openWindow());
    CALL(showFirmwarePage());
    const QString path = writeFile(QStringLiteral("firmware.mot"), firmwareBytes(100));
    CALL(chooseFirmware(path));
    QCOMPARE(ui()->curPrintFWFile->text(), path);

    DialogDriver driver;
    driver.then(DialogDriver::cancel()).then(DialogDriver::cancel());
    ui()->detectbutton->click();
    QCOMPARE(driver.seen().size(), 1);
    // The dialog reopens at the previous choice.
    QCOMPARE(driver.seen().at(0).directory, QDir(appDir->path()).canonicalPath());
    QCOMPARE(driver.seen().at(0).selected, QStringList{path});
    QVERIFY(WidgetInspector::fwPath(*window).isEmpty());
    QCOMPARE(ui()->curPrintFWFile->text(), path);

    BarWatch watch(bar());
    DialogDriver upgrade;
    upgrade.then(DialogDriver::cancel());
    ui()->doFWUpdate->click();
    QVERIFY(upgrade.seen().isEmpty());
    QCOMPARE(watch.values, QVector<int>{0});
    QVERIFY(!bar()->isHidden());
    CALL(verifyNothingSent());
}

int main(int argc, char **argv)
{
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication app(argc, argv);
    tst_Firmware test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_firmware.moc"
