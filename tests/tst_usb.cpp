// SPDX-License-Identifier: LGPL-3.0-or-later
// Usb end to end: the real libusb against virtual printers on an emulated bus.
#include "usb.h"
#include "virtualprinter.h"

#include <libusb.h>

#include <QElapsedTimer>
#include <QtTest>

#include <dlfcn.h>

#include <chrono>
#include <thread>

Q_DECLARE_METATYPE(VirtualDevice)
Q_DECLARE_METATYPE(Fault)

// Some libusb calls are wrapped here, so that the tests see which contexts Usb creates and
// ends, can make the creation fail, and see opens and closes in the order they were made
// (the emulator learns of a close a moment later, on its own thread).
namespace {
bool failNextInit = false;
QVector<libusb_context *> createdContexts;
QVector<libusb_context *> endedContexts;
QStringList handleCalls; // "open" and "close", in call order

template <typename Function>
Function next(const char *name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}
} // namespace

extern "C" int libusb_init(libusb_context **context)
{
    static const auto real = next<int (*)(libusb_context **)>("libusb_init");
    if (failNextInit) {
        failNextInit = false;
        return LIBUSB_ERROR_OTHER;
    }
    const int result = real(context);
    if (result == LIBUSB_SUCCESS && context)
        createdContexts << *context;
    return result;
}

extern "C" void libusb_exit(libusb_context *context)
{
    static const auto real = next<void (*)(libusb_context *)>("libusb_exit");
    endedContexts << context;
    real(context);
}

extern "C" int libusb_open(libusb_device *device, libusb_device_handle **handle)
{
    static const auto real = next<int (*)(libusb_device *, libusb_device_handle **)>("libusb_open");
    const int result = real(device, handle);
    if (result == LIBUSB_SUCCESS)
        handleCalls << QStringLiteral("open");
    return result;
}

extern "C" void libusb_close(libusb_device_handle *handle)
{
    static const auto real = next<void (*)(libusb_device_handle *)>("libusb_close");
    handleCalls << QStringLiteral("close");
    real(handle);
}

namespace {

VirtualDevice printer(quint16 vendorId = 0x2867, quint16 productId = 0x0012)
{
    VirtualDevice device;
    device.vendorId = vendorId;
    device.productId = productId;
    return device;
}

VirtualAltSetting setting(quint8 interfaceClass, QVector<VirtualEndpoint> endpoints = {})
{
    VirtualAltSetting s;
    s.interfaceClass = interfaceClass;
    s.endpoints = endpoints;
    return s;
}

constexpr quint8 kBulk = 2;
constexpr quint8 kInterrupt = 3;
constexpr quint8 kIsochronous = 1;

QString idSuffix(int vendorId, int productId)
{
    return QStringLiteral("_%1:%2").arg(vendorId, 0, 16).arg(productId, 0, 16);
}

int indexOfDevice(const Usb &usb, int vendorId, int productId)
{
    for (int i = 0; i < usb.openedDevices().size(); ++i) {
        const usbInfo &info = usb.openedDevices()[i];
        if (info.vendorId == vendorId && info.productId == productId)
            return i;
    }
    return -1;
}

QByteArray pattern(int length)
{
    QByteArray bytes(qMax(length, 0), '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * 7 + i / 256) & 0xff);
    return bytes;
}

// An IEEE 1284 device ID: two length bytes, big-endian, counting themselves, then the fields.
QByteArray withLength(const QByteArray &fields)
{
    const int total = fields.size() + 2;
    return QByteArray(1, char(total >> 8)) + char(total & 0xff) + fields;
}

const unsigned char *bytesOf(const QByteArray &bytes)
{
    return reinterpret_cast<const unsigned char *>(bytes.constData());
}

} // namespace

class tst_Usb : public QObject
{
    Q_OBJECT

    VirtualPrinterBus bus; // exists before the first libusb_init of the process

private slots:
    void initTestCase();
    void init();

    void withoutDevicesNothingIsListed();
    void listsOnlyCardPrinters_data();
    void listsOnlyCardPrinters();
    void entriesFollowTheOrderOfTheOpenedDevices();
    void listsPrintersPluggedInAfterConstruction();
    void endpointsOfInterfaceZeroSettingZero_data();
    void endpointsOfInterfaceZeroSettingZero();
    void deviceIdIsAskedOfInterfaceZeroWithoutClaiming();
    void printerEntryFromTheDeviceIdReply_data();
    void printerEntryFromTheDeviceIdReply();
    void enumeratingAgainClosesTheFirstRunFirst();

    void sendData_data();
    void sendData();
    void sendReachesOnlyTheSelectedPrinter();
    void sendToAPrinterWithoutBulkOutFails();
    void failedSendLeavesEverythingForAnotherTry();
    void unpluggedPrinterStaysListedUntilTheNextEnumeration();
    void sendBlockedInATransferEndsWhenThePrinterIsUnplugged();

    void destructionClosesEveryHandleAndEndsTheContext();
    void withoutAContextNothingIsListedNorEnded();
};

void tst_Usb::initTestCase()
{
    // Above the product's 5 s device ID time-out, below the test time-out: a request left
    // without any limit shows up as a late answer, not as a hang.
    bus.setHeldTransferLimit(20000);
}

void tst_Usb::init()
{
    bus.reset();
}

void tst_Usb::withoutDevicesNothingIsListed()
{
    Usb usb;
    QCOMPARE(usb.enumPrinters(), 0);
    QVERIFY(usb.printerNames.isEmpty());
    QVERIFY(usb.openedDevices().isEmpty());
    QCOMPARE(usb.currentPrinter, -1);
    usb.currentPrinter = 0;
    const QByteArray data = pattern(16);
    QVERIFY(!usb.sendData(bytesOf(data), data.size()));
}

void tst_Usb::listsOnlyCardPrinters_data()
{
    QTest::addColumn<VirtualDevice>("device");
    QTest::addColumn<bool>("listed");

    QTest::newRow("vendor 0x2867") << printer(0x2867) << true;
    QTest::newRow("vendor 0x08BD") << printer(0x08bd) << true;
    QTest::newRow("vendor 0x20D1") << printer(0x20d1) << true;
    QTest::newRow("foreign vendor 0x0867") << printer(0x0867) << false;
    QTest::newRow("any product of an accepted vendor: 0xFFFF") << printer(0x20d1, 0xffff) << true;
    QTest::newRow("any product of an accepted vendor: 0") << printer(0x08bd, 0x0000) << true;

    VirtualDevice classPrinter = printer();
    classPrinter.deviceClass = 7;
    QTest::newRow("device class 7") << classPrinter << true;
    VirtualDevice classVendor = printer();
    classVendor.deviceClass = 0xff;
    QTest::newRow("device class 0xFF despite a printer interface") << classVendor << false;

    VirtualDevice second = printer();
    second.interfaces = {{setting(0xff)}, {VirtualAltSetting{}}};
    QTest::newRow("printer interface only at interface 1") << second << false;
    VirtualDevice alternate = printer();
    alternate.interfaces = {{setting(0xff), VirtualAltSetting{}}};
    QTest::newRow("printer class only in alternate setting 1") << alternate << false;
    VirtualDevice firstOfTwo = printer();
    firstOfTwo.interfaces = {{VirtualAltSetting{}, setting(0xff)}, {setting(0xff)}};
    QTest::newRow("printer at interface 0 setting 0, others after it") << firstOfTwo << true;
    VirtualDevice noInterface = printer();
    noInterface.interfaces = {};
    QTest::newRow("no interface at all") << noInterface << false;

    VirtualDevice noNode = printer();
    noNode.hasDeviceNode = false;
    QTest::newRow("no device node: cannot be opened") << noNode << false;
}

void tst_Usb::listsOnlyCardPrinters()
{
    QFETCH(VirtualDevice, device);
    QFETCH(bool, listed);
    bus.addDevice(device);

    Usb usb;
    const int count = usb.enumPrinters();

    QCOMPARE(count, listed ? 1 : 0);
    QCOMPARE(usb.printerNames.size(), count);
    QCOMPARE(usb.openedDevices().size(), count);
    QCOMPARE(usb.currentPrinter, -1);
    // A device that does not match is not even opened.
    QCOMPARE(bus.opens(0), count);
    if (listed) {
        const usbInfo &info = usb.openedDevices().first();
        QCOMPARE(info.vendorId, int(device.vendorId));
        QCOMPARE(info.productId, int(device.productId));
        QVERIFY(info.handle);
        QVERIFY2(usb.printerNames.first().endsWith(idSuffix(device.vendorId, device.productId)),
                 qPrintable(usb.printerNames.first()));
    }
}

void tst_Usb::entriesFollowTheOrderOfTheOpenedDevices()
{
    VirtualDevice foreign = printer(0x0867, 0x0001);
    VirtualDevice vendorClass = printer(0x2867, 0x0002);
    vendorClass.deviceClass = 0xff;
    VirtualDevice noNode = printer(0x20d1, 0x0003);
    noNode.hasDeviceNode = false;
    VirtualDevice first = printer(0x2867, 0x0004);
    first.deviceId = QByteArrayLiteral("\x00\x12MFG:ONE;MDL:A1;");
    VirtualDevice second = printer(0x08bd, 0x0005);
    second.deviceId = QByteArrayLiteral("\x00\x12MFG:TWO;MDL:B2;");
    for (const VirtualDevice &d : {foreign, first, vendorClass, noNode, second})
        bus.addDevice(d);

    Usb usb;
    QCOMPARE(usb.enumPrinters(), 2);
    QCOMPARE(usb.printerNames.size(), 2);
    const int one = indexOfDevice(usb, 0x2867, 0x0004);
    const int two = indexOfDevice(usb, 0x08bd, 0x0005);
    QVERIFY(one >= 0 && two >= 0);
    QCOMPARE(usb.printerNames[one], QStringLiteral("ONE A1_2867:4"));
    QCOMPARE(usb.printerNames[two], QStringLiteral("TWO B2_8bd:5"));
    QVERIFY(usb.openedDevices()[one].handle != usb.openedDevices()[two].handle);
    QCOMPARE(bus.openHandles(), 2);
}

void tst_Usb::listsPrintersPluggedInAfterConstruction()
{
    Usb usb;
    QCOMPARE(usb.enumPrinters(), 0);

    const int plugged = bus.addDevice(printer(0x20d1, 0x0042));
    QCOMPARE(usb.enumPrinters(), 1);
    QCOMPARE(usb.openedDevices().first().productId, 0x42);

    bus.unplug(plugged);
    QCOMPARE(usb.enumPrinters(), 0);
    QVERIFY(usb.printerNames.isEmpty());
}

void tst_Usb::endpointsOfInterfaceZeroSettingZero_data()
{
    QTest::addColumn<VirtualDevice>("device");
    QTest::addColumn<int>("outEndpoint");
    QTest::addColumn<int>("inEndpoint");

    auto withEndpoints = [](QVector<VirtualEndpoint> endpoints) {
        VirtualDevice d = printer();
        d.interfaces = {{setting(7, endpoints)}};
        return d;
    };
    QTest::newRow("one bulk pair")
        << withEndpoints({{0x01, kBulk, 512}, {0x81, kBulk, 512}}) << 0x01 << 0x81;
    QTest::newRow("two bulk OUT: the second wins")
        << withEndpoints({{0x01, kBulk, 512}, {0x81, kBulk, 512}, {0x03, kBulk, 512}}) << 0x03 << 0x81;
    QTest::newRow("two bulk IN: the second wins")
        << withEndpoints({{0x82, kBulk, 512}, {0x02, kBulk, 512}, {0x84, kBulk, 512}}) << 0x02 << 0x84;
    QTest::newRow("no endpoints: listed with 0") << withEndpoints({}) << 0 << 0;
    QTest::newRow("only a bulk IN") << withEndpoints({{0x81, kBulk, 512}}) << 0 << 0x81;
    QTest::newRow("interrupt and isochronous passed over")
        << withEndpoints({{0x01, kBulk, 512}, {0x82, kBulk, 512}, {0x03, kInterrupt, 64},
                          {0x83, kInterrupt, 64}, {0x05, kIsochronous, 1024}, {0x85, kIsochronous, 1024}})
        << 0x01 << 0x82;
    QTest::newRow("only interrupt endpoints")
        << withEndpoints({{0x01, kInterrupt, 64}, {0x81, kInterrupt, 64}}) << 0 << 0;

    VirtualDevice otherSetting = printer();
    otherSetting.interfaces = {{setting(7, {{0x01, kBulk, 512}, {0x81, kBulk, 512}}),
                                setting(7, {{0x02, kBulk, 512}, {0x82, kBulk, 512}})}};
    QTest::newRow("alternate setting 1 not looked at") << otherSetting << 0x01 << 0x81;
    VirtualDevice otherInterface = printer();
    otherInterface.interfaces = {{setting(7, {{0x01, kBulk, 512}})},
                                  {setting(7, {{0x02, kBulk, 512}, {0x82, kBulk, 512}})}};
    QTest::newRow("interface 1 not looked at") << otherInterface << 0x01 << 0;
}

void tst_Usb::endpointsOfInterfaceZeroSettingZero()
{
    QFETCH(VirtualDevice, device);
    QFETCH(int, outEndpoint);
    QFETCH(int, inEndpoint);
    bus.addDevice(device);

    Usb usb;
    QCOMPARE(usb.enumPrinters(), 1);
    QCOMPARE(usb.openedDevices().first().outEndpoint, outEndpoint);
    QCOMPARE(usb.openedDevices().first().inEndpoint, inEndpoint);
}

void tst_Usb::deviceIdIsAskedOfInterfaceZeroWithoutClaiming()
{
    bus.addDevice(printer());
    Usb usb;
    QCOMPARE(usb.enumPrinters(), 1);
    // Class request IN to interface 0, GET_DEVICE_ID, configuration 0, room for 128 bytes.
    QCOMPARE(bus.events(0), QStringList({"open", "control a1 00 0000 0000 128"}));
}

void tst_Usb::printerEntryFromTheDeviceIdReply_data()
{
    QTest::addColumn<QByteArray>("deviceId");
    QTest::addColumn<int>("reply"); // VirtualDevice::DeviceIdReply
    QTest::addColumn<int>("vendorId");
    QTest::addColumn<QString>("entry");

    const int answer = int(VirtualDevice::DeviceIdReply::Answer);
    QTest::newRow("MFG first, behind the two length bytes")
        << withLength("MFG:ACME;MDL:CP500;CMD:X;") << answer << 0x2867 << "ACME CP500_2867:12";
    QTest::newRow("MFG later")
        << withLength("CMD:X;MDL:CP500;MFG:ACME;") << answer << 0x2867 << "ACME CP500_2867:12";
    QTest::newRow("repeated key: the last wins")
        << withLength("MFG:OLD;MDL:CP500;MFG:ACME;MDL:CP600;") << answer << 0x2867
        << "ACME CP600_2867:12";
    QTest::newRow("a value holding a colon is cut there")
        << withLength("MFG:ACME:EU;MDL:CP500:2;") << answer << 0x2867 << "ACME CP500_2867:12";
    QTest::newRow("lower-case keys are not taken")
        << withLength("mfg:acme;mdl:cp500;") << answer << 0x2867 << " _2867:12";
    QTest::newRow("MANUFACTURER and MODEL are not taken")
        << withLength("MANUFACTURER:ACME;MODEL:CP500;") << answer << 0x2867 << " _2867:12";
    QTest::newRow("XMDL is taken as MDL")
        << withLength("MFG:ACME;XMDL:CP9;") << answer << 0x2867 << "ACME CP9_2867:12";

    // The device sends up to 160 bytes; only the first 128 are asked for.
    QByteArray beyond = "MFG:ACME;CMD:";
    beyond += QByteArray(125 - 2 - beyond.size(), 'X') + ";MDL:CP500;";
    QTest::newRow("a key beyond the 128th byte is not found")
        << withLength(beyond) << answer << 0x2867 << "ACME _2867:12";
    QByteArray across = "MFG:ACME;CMD:";
    across += QByteArray(120 - 2 - across.size(), 'X') + ";MDL:CP500;";
    QTest::newRow("a value across the 128th byte is cut")
        << withLength(across) << answer << 0x2867 << "ACME CP5_2867:12";

    QTest::newRow("embedded zero bytes stay in the text")
        << withLength(QByteArray("MFG:AC\0ME;\0;MDL:CP500;", 22)) << answer << 0x2867
        << QString::fromLatin1("ACME CP500_2867:12").insert(2, QChar(0));
    QTest::newRow("bytes above 0x7F read as Latin-1")
        << withLength("MFG:\xc4" "CME;MDL:CP500;") << answer << 0x2867
        << QString::fromUtf8("\xc3\x84" "CME CP500_2867:12");
    QTest::newRow("failed request") << QByteArray() << int(VirtualDevice::DeviceIdReply::Fail)
                                    << 0x2867 << " _2867:12";
    QTest::newRow("request never answered: listed after the time-out")
        << QByteArray() << int(VirtualDevice::DeviceIdReply::NeverAnswer) << 0x2867 << " _2867:12";
    QTest::newRow("vendor 0x08BD written as 8bd")
        << withLength("MFG:ACME;MDL:CP500;CMD:X;") << answer << 0x08bd << "ACME CP500_8bd:12";
}

void tst_Usb::printerEntryFromTheDeviceIdReply()
{
    QFETCH(QByteArray, deviceId);
    QFETCH(int, reply);
    QFETCH(int, vendorId);
    QFETCH(QString, entry);

    VirtualDevice device = printer(quint16(vendorId), 0x0012);
    device.deviceId = deviceId;
    device.deviceIdReply = VirtualDevice::DeviceIdReply(reply);
    bus.addDevice(device);

    Usb usb;
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(usb.enumPrinters(), 1);
    const qint64 elapsed = clock.elapsed();
    QCOMPARE(usb.printerNames.first(), entry);

    if (device.deviceIdReply == VirtualDevice::DeviceIdReply::NeverAnswer) {
        // Waited for the 5 s limit, and not for the emulator's own 20 s back-stop.
        QVERIFY2(elapsed >= 4900 && elapsed < 15000, qPrintable(QString::number(elapsed)));
        QCOMPARE(bus.openHandles(), 1);
    }
}

void tst_Usb::enumeratingAgainClosesTheFirstRunFirst()
{
    bus.addDevice(printer(0x2867, 1));
    bus.addDevice(printer(0x20d1, 2));

    Usb usb;
    QCOMPARE(usb.enumPrinters(), 2);
    const QList<QString> firstNames = usb.printerNames;
    usb.currentPrinter = 1;
    handleCalls.clear();

    QCOMPARE(usb.enumPrinters(), 2);

    QCOMPARE(usb.currentPrinter, -1);
    QCOMPARE(usb.printerNames, firstNames);
    QCOMPARE(handleCalls, QStringList({"close", "close", "open", "open"}));
    QCOMPARE(bus.openHandles(), 2);
    for (int device : {0, 1}) {
        QCOMPARE(bus.opens(device), 2);
        QCOMPARE(bus.closes(device), 1);
    }
}

void tst_Usb::sendData_data()
{
    QTest::addColumn<int>("selection");
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("sent");
    QTest::addColumn<QStringList>("events");

    const QStringList none;
    QTest::newRow("no selection: no traffic") << -1 << Fault::None << 4096 << false << none;
    QTest::newRow("selection equal to the number of printers: no traffic")
        << 1 << Fault::None << 4096 << false << none;
    QTest::newRow("selection below -1: no traffic") << -2 << Fault::None << 4096 << false << none;
    QTest::newRow("negative length: no traffic") << 0 << Fault::None << -1 << false << none;

    QTest::newRow("interface busy: nothing released")
        << 0 << Fault::InterfaceBusy << 4096 << false << QStringList{"claim 0 busy"};
    QTest::newRow("stall: released")
        << 0 << Fault::Stall << 4096 << false
        << QStringList{"claim 0", "bulk 02 4096 stall", "release 0"};
    QTest::newRow("device gone: released")
        << 0 << Fault::DeviceGone << 4096 << false
        << QStringList{"claim 0", "bulk 02 4096 gone", "release 0"};
    QTest::newRow("short write: released")
        << 0 << Fault::ShortWrite << 4096 << false
        << QStringList{"claim 0", "bulk 02 4096 short 2048", "release 0"};

    QTest::newRow("a 4096-byte piece") << 0 << Fault::None << 4096 << true
                                       << QStringList{"claim 0", "bulk 02 4096", "release 0"};
    QTest::newRow("one byte") << 0 << Fault::None << 1 << true
                              << QStringList{"claim 0", "bulk 02 1", "release 0"};
    QTest::newRow("64 KiB still in one transfer") << 0 << Fault::None << 65536 << true
                                                  << QStringList{"claim 0", "bulk 02 65536", "release 0"};
}

void tst_Usb::sendData()
{
    QFETCH(int, selection);
    QFETCH(Fault, fault);
    QFETCH(int, length);
    QFETCH(bool, sent);
    QFETCH(QStringList, events);

    // Bulk OUT at 0x02, behind the IN endpoint, so a wrong endpoint would show.
    VirtualDevice device = printer();
    device.interfaces = {{setting(7, {{0x81, kBulk, 512}, {0x02, kBulk, 512}})}};
    bus.addDevice(device);
    Usb usb;
    QCOMPARE(usb.enumPrinters(), 1);
    const QList<QString> names = usb.printerNames;
    libusb_device_handle *const handle = usb.openedDevices().first().handle;
    bus.clearLogs();
    if (fault != Fault::None)
        bus.injectFault(0, 1, fault);

    usb.currentPrinter = selection;
    const QByteArray data = pattern(length);
    QCOMPARE(usb.sendData(bytesOf(data), length), sent);

    QCOMPARE(bus.events(0), events);
    const QVector<BulkTransfer> transfers = bus.bulkTransfers(0);
    if (sent) {
        QCOMPARE(transfers.size(), 1);
        QCOMPARE(int(transfers.first().endpoint), 0x02);
        QCOMPARE(transfers.first().length, length);
        QCOMPARE(transfers.first().data, data);
    }
    // A send changes neither the lists, nor the selection, nor the handles.
    QCOMPARE(usb.currentPrinter, selection);
    QCOMPARE(usb.printerNames, names);
    QCOMPARE(usb.openedDevices().first().handle, handle);
    QCOMPARE(bus.openHandles(), 1);
}

void tst_Usb::sendReachesOnlyTheSelectedPrinter()
{
    VirtualDevice first = printer(0x2867, 1);
    VirtualDevice second = printer(0x20d1, 2);
    second.interfaces = {{setting(7, {{0x05, kBulk, 512}})}};
    const int a = bus.addDevice(first);
    const int b = bus.addDevice(second);

    Usb usb;
    QCOMPARE(usb.enumPrinters(), 2);
    bus.clearLogs();
    usb.currentPrinter = indexOfDevice(usb, 0x20d1, 2);
    const QByteArray data = pattern(300);
    QVERIFY(usb.sendData(bytesOf(data), data.size()));

    QVERIFY(bus.events(a).isEmpty());
    QCOMPARE(bus.events(b), QStringList({"claim 0", "bulk 05 300", "release 0"}));
    QCOMPARE(bus.bulkTransfers().size(), 1);
    QCOMPARE(bus.bulkTransfers().first().device, b);
    QCOMPARE(bus.bulkTransfers().first().data, data);
}

void tst_Usb::sendToAPrinterWithoutBulkOutFails()
{
    VirtualDevice device = printer();
    device.interfaces = {{setting(7, {{0x81, kBulk, 512}})}};
    bus.addDevice(device);
    Usb usb;
    QCOMPARE(usb.enumPrinters(), 1);
    QCOMPARE(usb.openedDevices().first().outEndpoint, 0);
    usb.currentPrinter = 0;
    bus.clearLogs();

    const QByteArray data = pattern(4096);
    QVERIFY(!usb.sendData(bytesOf(data), data.size()));
    QCOMPARE(bus.events(0), QStringList({"claim 0", "bulk 00 4096 refused", "release 0"}));
    QVERIFY(bus.bulkTransfers().isEmpty());
}

void tst_Usb::failedSendLeavesEverythingForAnotherTry()
{
    bus.addDevice(printer());
    Usb usb;
    QCOMPARE(usb.enumPrinters(), 1);
    usb.currentPrinter = 0;
    bus.injectFault(0, 1, Fault::Stall);
    const QByteArray data = pattern(4096);

    QVERIFY(!usb.sendData(bytesOf(data), data.size()));
    QVERIFY(usb.sendData(bytesOf(data), data.size()));

    QCOMPARE(bus.claims(0), 2);
    QCOMPARE(bus.releases(0), 2);
    const QVector<BulkTransfer> transfers = bus.bulkTransfers(0);
    QCOMPARE(transfers.size(), 2);
    QVERIFY(transfers[0].data.isEmpty());
    QCOMPARE(transfers[1].data, data);
}

void tst_Usb::unpluggedPrinterStaysListedUntilTheNextEnumeration()
{
    bus.addDevice(printer());
    Usb usb;
    QCOMPARE(usb.enumPrinters(), 1);
    usb.currentPrinter = 0;
    bus.unplug(0);

    const QByteArray data = pattern(64);
    QVERIFY(!usb.sendData(bytesOf(data), data.size()));
    QCOMPARE(usb.printerNames.size(), 1);
    QCOMPARE(usb.openedDevices().size(), 1);
    QCOMPARE(usb.currentPrinter, 0);

    QCOMPARE(usb.enumPrinters(), 0);
    QVERIFY(usb.printerNames.isEmpty());
    QCOMPARE(bus.openHandles(), 0);
}

void tst_Usb::sendBlockedInATransferEndsWhenThePrinterIsUnplugged()
{
    bus.addDevice(printer());
    Usb usb;
    QCOMPARE(usb.enumPrinters(), 1);
    usb.currentPrinter = 0;
    bus.injectFault(0, 1, Fault::NeverCompletes);

    // The send blocks this thread without a time limit; the printer goes away meanwhile.
    std::thread unplugger([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        bus.unplug(0);
    });
    QElapsedTimer clock;
    clock.start();
    const QByteArray data = pattern(4096);
    const bool sent = usb.sendData(bytesOf(data), data.size());
    unplugger.join();

    QVERIFY(!sent);
    QVERIFY2(clock.elapsed() >= 250 && clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(bus.events(0).contains("bulk 01 4096 held"));
}

void tst_Usb::destructionClosesEveryHandleAndEndsTheContext()
{
    bus.addDevice(printer(0x2867, 1));
    bus.addDevice(printer(0x08bd, 2));
    createdContexts.clear();
    endedContexts.clear();

    auto *usb = new Usb;
    QCOMPARE(createdContexts.size(), 1);
    QCOMPARE(usb->enumPrinters(), 2);
    QCOMPARE(bus.openHandles(), 2);
    QVERIFY(endedContexts.isEmpty());

    delete usb;

    QCOMPARE(bus.openHandles(), 0);
    QCOMPARE(bus.closes(0), 1);
    QCOMPARE(bus.closes(1), 1);
    QCOMPARE(endedContexts, createdContexts);
}

void tst_Usb::withoutAContextNothingIsListedNorEnded()
{
    bus.addDevice(printer());
    createdContexts.clear();
    endedContexts.clear();
    failNextInit = true;
    {
        Usb usb;
        QVERIFY(createdContexts.isEmpty());
        QCOMPARE(usb.enumPrinters(), 0);
        QVERIFY(usb.printerNames.isEmpty());
        QCOMPARE(usb.currentPrinter, -1);
        usb.currentPrinter = 0;
        const QByteArray data = pattern(16);
        QVERIFY(!usb.sendData(bytesOf(data), data.size()));
    }
    QVERIFY(endedContexts.isEmpty());
    QCOMPARE(bus.opens(0), 0);
}

QTEST_GUILESS_MAIN(tst_Usb)
#include "tst_usb.moc"
