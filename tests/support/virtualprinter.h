// SPDX-License-Identifier: LGPL-3.0-or-later
// Card printers emulated in user space on umockdev, so that the real libusb runs in tests.
//
// One VirtualPrinterBus per test process, created before the first libusb_init (that is,
// before the first Usb or Widget). The process must run with libumockdev-preload loaded
// (tests built with cardtool_add_test(... USB) are linked with it).
//
//     VirtualPrinterBus bus;                    // a member of the test object does it
//     int printer = bus.addDevice(VirtualDevice{}); // 0x2867:0x0012, bulk 0x01 / 0x81
//     Usb usb;  usb.enumPrinters();  usb.currentPrinter = 0;
//     bus.injectFault(printer, 2, Fault::Stall);    // the second bulk OUT from now stalls
//     ... bus.bulkTransfers(printer), bus.events(printer), bus.openHandles() ...
//
// Devices plugged in or unplugged while a libusb context exists show up at its next
// device listing, as udev would announce them.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

struct VirtualEndpoint
{
    quint8 address = 0x01;    // bit 7 set: IN
    quint8 attributes = 0x02; // transfer type in bits 0-1: 0 control, 1 iso, 2 bulk, 3 interrupt
    quint16 maxPacketSize = 512;
};

struct VirtualAltSetting
{
    quint8 interfaceClass = 7; // printer
    quint8 interfaceSubClass = 1;
    quint8 interfaceProtocol = 2;
    QVector<VirtualEndpoint> endpoints{{0x01, 0x02, 512}, {0x81, 0x02, 512}};
};

struct VirtualDevice
{
    quint16 vendorId = 0x2867;
    quint16 productId = 0x0012;
    quint8 deviceClass = 0;
    // interfaces[i] lists the alternate settings of interface i.
    QVector<QVector<VirtualAltSetting>> interfaces{{VirtualAltSetting{}}};

    enum class DeviceIdReply { Answer, Fail, NeverAnswer };
    DeviceIdReply deviceIdReply = DeviceIdReply::Answer;
    QByteArray deviceId = QByteArrayLiteral("\x00\x1c" "MFG:ACME;MDL:CP500;CMD:X;");
    bool hasDeviceNode = true; // false: listed by the system but cannot be opened
};

enum class Fault {
    None,
    Stall,        // the bulk transfer ends with a stall (LIBUSB_ERROR_PIPE)
    DeviceGone,   // the bulk transfer ends with no device (LIBUSB_ERROR_NO_DEVICE)
    ShortWrite,   // the bulk transfer succeeds with fewer bytes than given
    InterfaceBusy,// the claim before the bulk transfer fails (LIBUSB_ERROR_BUSY)
    NeverCompletes// the bulk transfer never completes (until the client gives up)
};

struct BulkTransfer
{
    int device = -1;     // index given by addDevice
    quint8 endpoint = 0;
    QByteArray data;     // bytes the device accepted
    int length = 0;      // bytes the host submitted
};

class VirtualPrinterBus
{
public:
    VirtualPrinterBus();
    ~VirtualPrinterBus();
    VirtualPrinterBus(const VirtualPrinterBus &) = delete;
    VirtualPrinterBus &operator=(const VirtualPrinterBus &) = delete;

    // Plugs in a device; returns its index (0, 1, ... in order of adding).
    int addDevice(const VirtualDevice &device);
    // Unplugs one device; later transfers to an open handle fail with no device.
    void unplug(int device);
    // Unplugs every device and forgets the logs (for a fresh start between test rows);
    // pending faults are dropped and the next addDevice returns 0 again.
    void reset();

    // Makes the nth bulk OUT transfer (1-based, counted from now) of a device fail.
    // For InterfaceBusy the nth claim fails instead.
    void injectFault(int device, int nth, Fault fault);

    // Every bulk OUT transfer the devices saw, in order, failed ones included (their `data`
    // holds what was accepted: nothing for Stall, DeviceGone and NeverCompletes).
    QVector<BulkTransfer> bulkTransfers() const;
    QVector<BulkTransfer> bulkTransfers(int device) const;
    // Per-device event log: "open", "close", "claim 0", "release 0", "bulk 01 4096",
    // "control a1 00 0000 0000 128", ... in order.
    QStringList events(int device) const;
    // The events of all devices in the order they happened, each behind its device index:
    // "0 open", "1 close", ... A bulk event of an injected fault ends in " stall", " gone",
    // " short <accepted>" or " held"; a refused claim reads "claim 0 busy"; a bulk transfer
    // to an endpoint the device lacks is refused at submission as usbfs does and reads
    // "bulk 00 4096 refused" (not in bulkTransfers()); "unplug" marks an unplug. umockdev notices a close on its own thread, so a "close" is always counted
    // by the time any getter returns, but may stand behind events that followed it.
    QStringList events() const;
    void clearLogs();

    int opens(int device) const;
    int closes(int device) const;
    int claims(int device) const;
    int releases(int device) const;
    // Handles currently open on all devices together.
    int openHandles() const;

    // A transfer held by NeverCompletes or DeviceIdReply::NeverAnswer ends when the client
    // discards it (time-out), when its device is unplugged, or at the latest after this many
    // milliseconds with an I/O error, so that no test can hang for ever. Default 30000.
    void setHeldTransferLimit(int milliseconds);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
