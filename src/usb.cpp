// SPDX-License-Identifier: LGPL-3.0-or-later
// The link to the card printers: discovery over libusb and bulk sends to the selected one.
#include "usb.h"

#include <libusb.h>

#include <QStringList>

#include <cstring>

namespace {

// GET_DEVICE_ID of the USB printer class, asked of interface 0, alternate setting 0.
constexpr uint8_t kDeviceIdRequestType =
    LIBUSB_ENDPOINT_IN | LIBUSB_REQUEST_TYPE_CLASS | LIBUSB_RECIPIENT_INTERFACE;
constexpr uint8_t kGetDeviceId = 0;
constexpr int kDeviceIdLength = 128;

// A printer that never answers its device ID must not freeze the listing (and the GUI
// thread with it); 5 s is what CUPS allows the same request.
constexpr unsigned int kDeviceIdTimeoutMs = 5000;

// Bulk sends have no limit: a printer may pause for long while it writes its flash.
constexpr unsigned int kNoTimeout = 0;

// The text of a GET_DEVICE_ID buffer after the request: what it returned, or on failure
// whatever it left before the first zero byte.
QByteArray deviceIdReply(const unsigned char *buffer, int result)
{
    const char *bytes = reinterpret_cast<const char *>(buffer);
    if (result >= 0)
        return QByteArray(bytes, qMin(result, kDeviceIdLength));
    return QByteArray(bytes, int(qstrnlen(bytes, kDeviceIdLength)));
}

} // namespace

QString printerEntry(const QByteArray &reply, int vendorId, int productId)
{
    // Latin-1 byte for byte: zero bytes stay characters and do not end the text.
    const QString text = QString::fromLatin1(reply.constData(), reply.size());
    QString manufacturer;
    QString model;
    const QStringList fields = text.split(QLatin1Char(';'));
    for (const QString &field : fields) {
        if (!field.contains(QLatin1Char(':')))
            continue;
        const QStringList parts = field.split(QLatin1Char(':'));
        if (parts[0].contains(QLatin1String("MFG")))
            manufacturer = parts[1];
        if (parts[0].contains(QLatin1String("MDL")))
            model = parts[1];
    }
    // One pass over the format, so a "%1" inside a value is left as it is.
    return QStringLiteral("%3 %4_%1:%2")
        .arg(QString::number(vendorId, 16), QString::number(productId, 16), manufacturer, model);
}

Usb::Usb(QObject *parent) : QObject(parent)
{
    // A failure leaves context null: enumerations then find nothing.
    if (libusb_init(&context) != LIBUSB_SUCCESS)
        context = nullptr;
    vendorIds << QStringLiteral("2867") << QStringLiteral("08bd") << QStringLiteral("20d1");
}

Usb::~Usb()
{
    closePorts();
    currentPrinter = -1;
    devices.clear();
    if (context)
        libusb_exit(context);
}

int Usb::enumPrinters()
{
    closePorts();
    devices.clear();
    printerNames.clear();
    currentPrinter = -1;

    if (!context)
        return 0;

    libusb_device **list = nullptr;
    const ssize_t count = libusb_get_device_list(context, &list);
    if (count <= 0) {
        if (list)
            libusb_free_device_list(list, 1);
        return 0;
    }

    for (ssize_t i = 0; i < count; ++i) {
        libusb_device *device = list[i];

        libusb_device_descriptor descriptor;
        if (libusb_get_device_descriptor(device, &descriptor) != LIBUSB_SUCCESS)
            continue;
        if (descriptor.bDeviceClass != LIBUSB_CLASS_PER_INTERFACE
            && descriptor.bDeviceClass != LIBUSB_CLASS_PRINTER)
            continue;

        libusb_config_descriptor *config = nullptr;
        if (libusb_get_config_descriptor(device, 0, &config) != LIBUSB_SUCCESS)
            continue;
        if (config->bNumInterfaces == 0 || config->interface[0].num_altsetting < 1
            || config->interface[0].altsetting[0].bInterfaceClass != LIBUSB_CLASS_PRINTER) {
            libusb_free_config_descriptor(config);
            continue;
        }
        const QString vendor = QStringLiteral("%1").arg(descriptor.idVendor, 4, 16, QLatin1Char('0'));
        if (!vendorIds.contains(vendor)) {
            libusb_free_config_descriptor(config);
            continue;
        }

        usbInfo info;
        info.productId = descriptor.idProduct;
        info.vendorId = descriptor.idVendor;
        const libusb_interface_descriptor &setting = config->interface[0].altsetting[0];
        for (int e = 0; e < setting.bNumEndpoints; ++e) {
            const libusb_endpoint_descriptor &endpoint = setting.endpoint[e];
            if ((endpoint.bmAttributes & 0x03) != LIBUSB_TRANSFER_TYPE_BULK)
                continue;
            if (endpoint.bEndpointAddress & LIBUSB_ENDPOINT_IN)
                info.inEndpoint = endpoint.bEndpointAddress;
            else
                info.outEndpoint = endpoint.bEndpointAddress;
        }
        libusb_free_config_descriptor(config);

        if (libusb_open(device, &info.handle) != LIBUSB_SUCCESS || !info.handle)
            continue;

        unsigned char buffer[kDeviceIdLength];
        std::memset(buffer, 0, sizeof buffer);
        const int result = libusb_control_transfer(info.handle, kDeviceIdRequestType, kGetDeviceId,
                                                   0, 0, buffer, kDeviceIdLength, kDeviceIdTimeoutMs);
        printerNames.append(printerEntry(deviceIdReply(buffer, result), info.vendorId, info.productId));
        devices.append(info);

        // Not every platform can detach kernel drivers; sends work without it where it fails.
        libusb_set_auto_detach_kernel_driver(info.handle, 1);
    }

    libusb_free_device_list(list, 1);
    return devices.size();
}

bool Usb::sendData(const unsigned char *data, int length)
{
    if (currentPrinter < 0 || currentPrinter >= devices.size() || length < 0 || (!data && length > 0))
        return false;
    const usbInfo &printer = devices.at(currentPrinter);

    if (libusb_claim_interface(printer.handle, 0) != LIBUSB_SUCCESS)
        return false;
    int transferred = 0;
    // libusb takes a non-const buffer for both directions; an OUT transfer only reads it.
    const int result = libusb_bulk_transfer(printer.handle, uint8_t(printer.outEndpoint & 0xff),
                                            const_cast<unsigned char *>(data), length,
                                            &transferred, kNoTimeout);
    // The outcome is already decided by the transfer; a failed release changes nothing.
    libusb_release_interface(printer.handle, 0);
    return result == LIBUSB_SUCCESS && transferred == length;
}

void Usb::closePorts()
{
    for (const usbInfo &printer : qAsConst(devices))
        libusb_close(printer.handle);
}
