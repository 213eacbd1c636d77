// SPDX-License-Identifier: LGPL-3.0-or-later
// The link to the card printers: discovery over libusb and bulk sends to the selected one.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QVector>

struct libusb_context;
struct libusb_device_handle;

struct usbInfo
{
    int productId = 0;
    int vendorId = 0;
    int outEndpoint = 0;
    int inEndpoint = 0;
    libusb_device_handle *handle = nullptr;
};

// Builds the list entry "MFG MDL_vid:pid" from a raw IEEE 1284 device ID reply.
// `reply` holds the bytes as the printer sent them (at most 128), length prefix included.
QString printerEntry(const QByteArray &reply, int vendorId, int productId);

class Usb : public QObject
{
    Q_OBJECT

public:
    explicit Usb(QObject *parent = nullptr);
    ~Usb() override;

    int enumPrinters();
    bool sendData(const unsigned char *data, int length);
    void closePorts();

    // The opened printers, in list order; read-only view for callers and tests.
    const QVector<usbInfo> &openedDevices() const { return devices; }

    QList<QString> printerNames;
    int currentPrinter = -1;

private:
    QVector<usbInfo> devices;
    libusb_context *context = nullptr;
    QVector<QString> vendorIds;
};
