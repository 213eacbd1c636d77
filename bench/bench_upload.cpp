// SPDX-License-Identifier: LGPL-3.0-or-later
// Upload benchmark: an 8 MiB firmware file sent by Widget::updateFW (normal mode) to a
// virtual printer, against a bare libusb loop in the same process that sends the same
// pieces with the same claim, transfer and release. Alternating runs, medians; plus the
// peak resident memory of the first upload above the idle window.
//
// The virtual printer lives in this harness process and the window in a child process, so
// that the copy of every byte the printer records stays out of the uploader's memory.
#include "procstatus.h"

#include "dialogdriver.h"
#include "virtualprinter.h"
#include "widgetinspector.h"

#include <libusb.h>

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QProcess>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <random>
#include <string>

namespace {

constexpr int kFileSize = 8 * 1024 * 1024;
constexpr int kPieceSize = 4096;
constexpr int kHeaderSize = 24;
constexpr int kDefaultRuns = 9;

// The buffer the printer must receive in normal mode: the upgrade header, then the file.
QByteArray normalModeUpload(const QByteArray &file)
{
    QByteArray header(kHeaderSize, '\0');
    const quint32 length = quint32(file.size()) + 16;
    header[0] = 0x1C;
    header[1] = 0x77;
    header[2] = 0x46;
    for (int i = 0; i < 4; ++i)
        header[4 + i] = char((length >> (8 * i)) & 0xFF);
    std::memcpy(header.data() + 8, "FWUP", 4);
    return header + file;
}

int pieceCount(int total)
{
    return (total + kPieceSize - 1) / kPieceSize;
}

struct Sample
{
    double wall = 0; // seconds
    double cpu = 0;  // seconds of CPU, all threads of the uploading process
};

double median(QVector<double> v)
{
    std::sort(v.begin(), v.end());
    const int n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

[[noreturn]] void fail(const QString &why)
{
    std::fprintf(stderr, "bench_upload: %s\n", qPrintable(why));
    std::exit(1);
}

// ---- harness: the virtual printer, and the check of every upload's bytes ----

// Empty when the printer received exactly `expected`, in pieces of 4096 bytes.
QString verifyReceived(VirtualPrinterBus &bus, const QByteArray &expected)
{
    const QVector<BulkTransfer> transfers = bus.bulkTransfers(0);
    if (transfers.size() != pieceCount(expected.size()))
        return QStringLiteral("%1 transfers instead of %2").arg(transfers.size()).arg(pieceCount(expected.size()));
    QByteArray received;
    received.reserve(expected.size());
    for (const BulkTransfer &t : transfers) {
        if (t.endpoint != 0x01 || t.data.size() != t.length)
            return QStringLiteral("a transfer to %1 accepted %2 of %3 bytes").arg(t.endpoint).arg(t.data.size()).arg(t.length);
        received += t.data;
    }
    return received == expected ? QString() : QStringLiteral("the bytes received differ from the file");
}

int harness(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // Before the child's first libusb_init; the child finds it through UMOCKDEV_DIR.
    VirtualPrinterBus bus;
    bus.addDevice(VirtualDevice{});

    QTemporaryDir dir;
    if (!dir.isValid())
        fail(QStringLiteral("no temporary directory"));
    QByteArray firmware(kFileSize, Qt::Uninitialized);
    std::mt19937 random(20261211);
    for (int i = 0; i < kFileSize; i += 4) {
        const quint32 word = random();
        std::memcpy(firmware.data() + i, &word, 4);
    }
    const QString firmwarePath = dir.filePath(QStringLiteral("firmware.mot"));
    QFile file(firmwarePath);
    if (!file.open(QIODevice::WriteOnly) || file.write(firmware) != firmware.size() || !file.flush())
        fail(QStringLiteral("cannot write %1").arg(firmwarePath));
    file.close();
    const QByteArray expected = normalModeUpload(firmware);

    const int runs = qMax(1, qEnvironmentVariableIntValue("UPLOAD_RUNS") > 0
                                 ? qEnvironmentVariableIntValue("UPLOAD_RUNS") : kDefaultRuns);
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--uploader"), firmwarePath, QString::number(runs)});
    if (!child.waitForStarted(-1))
        fail(QStringLiteral("cannot start the uploader"));

    bool printed = false;
    for (;;) {
        while (child.canReadLine()) {
            const QByteArray line = child.readLine().trimmed();
            if (line == "check") {
                const QString problem = verifyReceived(bus, expected);
                bus.clearLogs();
                child.write(problem.isEmpty() ? QByteArray("ok\n") : "bad " + problem.toUtf8() + '\n');
                child.waitForBytesWritten(-1);
            } else if (!line.isEmpty()) {
                std::printf("%s\n", line.constData());
                std::fflush(stdout);
                printed = printed || line.startsWith("upload:");
            }
        }
        if (child.state() == QProcess::NotRunning)
            break;
        child.waitForReadyRead(-1);
    }
    child.waitForFinished(-1);
    return child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0 && printed ? 0 : 1;
}

// ---- uploader: the window and the bare loop, in the child ----

// Asks the harness to check what the printer received since the last check.
void checkWithHarness(const char *what)
{
    std::printf("check\n");
    std::fflush(stdout);
    std::string answer;
    if (!std::getline(std::cin, answer) || answer != "ok")
        fail(QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromStdString(answer)));
}

// Notes when the upload's closing message box appears: the end of the measured span.
class BoxWatch : public QObject
{
public:
    BoxWatch() { qApp->installEventFilter(this); }
    ~BoxWatch() override { qApp->removeEventFilter(this); }

    bool shown = false;
    QString title;
    std::chrono::steady_clock::time_point shownAt;
    double cpuAt = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!shown && event->type() == QEvent::Show) {
            if (auto *box = qobject_cast<QMessageBox *>(watched)) {
                shownAt = std::chrono::steady_clock::now();
                cpuAt = bench::processCpuSeconds();
                shown = true;
                title = box->windowTitle();
            }
        }
        return false;
    }
};

// One upload through the window, from the call to the appearance of its closing box.
Sample productRun(Widget &window)
{
    BoxWatch watch;
    DialogDriver driver;
    driver.then(DialogDriver::accept());
    const double cpuStart = bench::processCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    window.updateFW(true);
    if (!watch.shown || watch.title != QStringLiteral("完成") || driver.pending() != 0)
        fail(QStringLiteral("the upload did not end with its completion box (saw \"%1\")").arg(watch.title));
    return {std::chrono::duration<double>(watch.shownAt - start).count(), watch.cpuAt - cpuStart};
}

// The yardstick: its own context and handle to the same printer, the same calls per piece.
class BareLoop
{
public:
    BareLoop()
    {
        if (libusb_init(&context) != LIBUSB_SUCCESS)
            fail(QStringLiteral("libusb_init"));
        libusb_device **list = nullptr;
        const ssize_t n = libusb_get_device_list(context, &list);
        for (ssize_t i = 0; i < n && !handle; ++i) {
            libusb_config_descriptor *config = nullptr;
            if (libusb_get_config_descriptor(list[i], 0, &config) != LIBUSB_SUCCESS)
                continue;
            const libusb_interface_descriptor &setting = config->interface[0].altsetting[0];
            for (int e = 0; e < setting.bNumEndpoints; ++e) {
                const libusb_endpoint_descriptor &ep = setting.endpoint[e];
                if ((ep.bmAttributes & 0x03) == LIBUSB_TRANSFER_TYPE_BULK && !(ep.bEndpointAddress & 0x80))
                    endpoint = ep.bEndpointAddress;
            }
            libusb_free_config_descriptor(config);
            if (libusb_open(list[i], &handle) != LIBUSB_SUCCESS)
                handle = nullptr;
        }
        if (n > 0)
            libusb_free_device_list(list, 1);
        if (!handle || !endpoint)
            fail(QStringLiteral("the bare loop finds no printer"));
        libusb_set_auto_detach_kernel_driver(handle, 1);
    }
    ~BareLoop()
    {
        libusb_close(handle);
        libusb_exit(context);
    }

    Sample run(const QByteArray &upload)
    {
        auto *data = reinterpret_cast<unsigned char *>(const_cast<char *>(upload.constData()));
        const int total = upload.size();
        const double cpuStart = bench::processCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        for (int offset = 0; offset < total; offset += kPieceSize) {
            const int length = qMin(kPieceSize, total - offset);
            if (libusb_claim_interface(handle, 0) != LIBUSB_SUCCESS)
                fail(QStringLiteral("bare claim"));
            int transferred = 0;
            const int result = libusb_bulk_transfer(handle, endpoint, data + offset, length, &transferred, 0);
            libusb_release_interface(handle, 0);
            if (result != LIBUSB_SUCCESS || transferred != length)
                fail(QStringLiteral("bare transfer at %1").arg(offset));
        }
        return {bench::secondsSince(start), bench::processCpuSeconds() - cpuStart};
    }

private:
    libusb_context *context = nullptr;
    libusb_device_handle *handle = nullptr;
    uint8_t endpoint = 0;
};

// Qt's notes about the offscreen platform would clutter the one line this prints.
void quietMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

int uploader(int argc, char **argv)
{
    const bool verbose = qEnvironmentVariableIsSet("BENCH_VERBOSE");
    if (!verbose)
        qInstallMessageHandler(quietMessages);
    QApplication app(argc, argv);
    const QString firmwarePath = QString::fromLocal8Bit(argv[2]);
    const int runs = qMax(1, QByteArray(argv[3]).toInt());

    // The default configuration in an application directory of its own.
    QTemporaryDir appDir;
    if (!appDir.isValid() || !QFile::copy(QStringLiteral(CARDTOOL_DEFAULT_INI),
                                          appDir.filePath(QStringLiteral("configTool.ini")))
        || !WidgetInspector::setAppDir(appDir.path()))
        fail(QStringLiteral("cannot prepare the application directory"));

    Widget window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        fail(QStringLiteral("the window is not shown"));
    Ui_Widget *ui = WidgetInspector::ui(window);
    ui->tabWidget->setCurrentWidget(ui->tab3); // the firmware page lists the printer
    Usb *usb = WidgetInspector::usb(window);
    if (!usb || usb->printerNames.size() != 1 || usb->currentPrinter != 0)
        fail(QStringLiteral("the window lists no printer"));
    WidgetInspector::fwPath(window) = firmwarePath;
    QTest::qWait(300);

    // Memory: the first upload of a window that has been idle until now.
    const qint64 idleKiB = bench::statusKiB("VmRSS");
    if (!bench::resetPeakRss())
        fail(QStringLiteral("cannot reset VmHWM through /proc/self/clear_refs"));
    productRun(window);
    const qint64 peakKiB = bench::statusKiB("VmHWM");
    checkWithHarness("first upload");
    QCoreApplication::processEvents();

    QFile file(firmwarePath);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot read %1").arg(firmwarePath));
    const QByteArray upload = normalModeUpload(file.readAll());
    BareLoop bare;
    bare.run(upload); // warm-up of the bare side, as the first upload was for the window
    checkWithHarness("bare warm-up");

    if (verbose)
        std::fprintf(stderr, "idle window %.1f MiB, peak of the first upload %.1f MiB\n",
                     idleKiB / 1024.0, peakKiB / 1024.0);
    QVector<double> product, yardstick, productCpu, yardstickCpu;
    for (int i = 0; i < runs; ++i) {
        // Alternate which side goes first, so that neither always follows the other.
        for (int side = 0; side < 2; ++side) {
            QCoreApplication::processEvents();
            if ((side == 0) == (i % 2 == 0)) {
                const Sample s = productRun(window);
                product << s.wall;
                productCpu << s.cpu;
                if (verbose)
                    std::fprintf(stderr, "updateFW %.3f s, CPU %.3f s\n", s.wall, s.cpu);
                checkWithHarness("upload");
            } else {
                const Sample s = bare.run(upload);
                yardstick << s.wall;
                yardstickCpu << s.cpu;
                if (verbose)
                    std::fprintf(stderr, "bare loop %.3f s, CPU %.3f s\n", s.wall, s.cpu);
                checkWithHarness("bare loop");
            }
        }
    }

    const double mp = median(product), mb = median(yardstick);
    const double fileMiB = kFileSize / 1048576.0;
    const double peakMiB = (peakKiB - idleKiB) / 1024.0;
    // CPU time of the uploading process, a second view of the same runs; on a loaded machine
    // it varies too, as waiting for the printer process costs CPU in the preload library.
    std::printf("upload: updateFW %.3f s, bare libusb loop %.3f s (medians of %d, %.0f MiB file "
                "in %d pieces); ratio %.3f (target <= 1.05); CPU ratio %.3f; peak RSS %.1f MiB "
                "above the idle window (target <= %.1f MiB)\n",
                mp, mb, runs, fileMiB, pieceCount(upload.size()), mp / mb,
                median(productCpu) / median(yardstickCpu), peakMiB, fileMiB + 2);
    std::fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--uploader") == 0)
        return uploader(argc, argv);
    return harness(argc, argv);
}
