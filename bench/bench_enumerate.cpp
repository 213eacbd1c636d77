// SPDX-License-Identifier: LGPL-3.0-or-later
// Enumeration benchmark: sixteen virtual printers listed by Usb::enumPrinters, against a
// bare libusb loop in the same process that makes the same descriptor reads, opens, device
// ID requests and closes. Alternating single enumerations, medians.
#include "procstatus.h"

#include "usb.h"
#include "virtualprinter.h"

#include <libusb.h>

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kPrinters = 16;
// Each sample is one enumeration, and the two sides take turns sample by sample, so that a
// burst of load on a shared machine falls on both alike.
constexpr int kDefaultRuns = 301;

double median(QVector<double> v)
{
    std::sort(v.begin(), v.end());
    const int n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

[[noreturn]] void fail(const QString &why)
{
    std::fprintf(stderr, "bench_enumerate: %s\n", qPrintable(why));
    std::exit(1);
}

// The yardstick: like the product it keeps the handles of the last listing open until the
// next one, and asks each printer for its device ID with the same request and time-out.
class BareEnumeration
{
public:
    BareEnumeration()
    {
        if (libusb_init(&context) != LIBUSB_SUCCESS)
            fail(QStringLiteral("libusb_init"));
    }
    ~BareEnumeration()
    {
        closeAll();
        libusb_exit(context);
    }

    int run()
    {
        closeAll();
        libusb_device **list = nullptr;
        const ssize_t n = libusb_get_device_list(context, &list);
        for (ssize_t i = 0; i < n; ++i) {
            libusb_device_descriptor descriptor;
            if (libusb_get_device_descriptor(list[i], &descriptor) != LIBUSB_SUCCESS)
                continue;
            if (descriptor.bDeviceClass != LIBUSB_CLASS_PER_INTERFACE
                && descriptor.bDeviceClass != LIBUSB_CLASS_PRINTER)
                continue;
            libusb_config_descriptor *config = nullptr;
            if (libusb_get_config_descriptor(list[i], 0, &config) != LIBUSB_SUCCESS)
                continue;
            const bool printer = config->bNumInterfaces > 0 && config->interface[0].num_altsetting > 0
                && config->interface[0].altsetting[0].bInterfaceClass == LIBUSB_CLASS_PRINTER;
            const int vendor = descriptor.idVendor;
            int outEndpoint = 0, inEndpoint = 0;
            if (printer) {
                const libusb_interface_descriptor &setting = config->interface[0].altsetting[0];
                for (int e = 0; e < setting.bNumEndpoints; ++e) {
                    const libusb_endpoint_descriptor &ep = setting.endpoint[e];
                    if ((ep.bmAttributes & 0x03) != LIBUSB_TRANSFER_TYPE_BULK)
                        continue;
                    (ep.bEndpointAddress & LIBUSB_ENDPOINT_IN ? inEndpoint : outEndpoint) = ep.bEndpointAddress;
                }
            }
            libusb_free_config_descriptor(config);
            if (!printer || (vendor != 0x2867 && vendor != 0x08bd && vendor != 0x20d1))
                continue;

            libusb_device_handle *handle = nullptr;
            if (libusb_open(list[i], &handle) != LIBUSB_SUCCESS || !handle)
                continue;
            unsigned char buffer[128];
            std::memset(buffer, 0, sizeof buffer);
            const int got = libusb_control_transfer(handle, 0xA1, 0, 0, 0, buffer, sizeof buffer, 5000);
            replyBytes += qMax(got, 0);
            handles[opened++] = handle;
            libusb_set_auto_detach_kernel_driver(handle, 1);
            (void)outEndpoint;
            (void)inEndpoint;
        }
        if (list)
            libusb_free_device_list(list, 1);
        return opened;
    }

    qint64 replyBytes = 0;

private:
    void closeAll()
    {
        for (int i = 0; i < opened; ++i)
            libusb_close(handles[i]);
        opened = 0;
    }

    libusb_context *context = nullptr;
    libusb_device_handle *handles[64] = {};
    int opened = 0;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = qEnvironmentVariableIntValue("ENUM_RUNS") > 0
        ? qEnvironmentVariableIntValue("ENUM_RUNS") : kDefaultRuns;

    // Before the first libusb_init of the process.
    VirtualPrinterBus bus;
    const quint16 vendors[] = {0x2867, 0x08bd, 0x20d1};
    for (int i = 0; i < kPrinters; ++i) {
        VirtualDevice printer;
        printer.vendorId = vendors[i % 3];
        printer.productId = quint16(0x10 + i);
        printer.deviceId = QByteArray("\0\0", 2) + "MFG:ACME;MDL:CP" + QByteArray::number(500 + i)
            + ";CMD:X;SN:" + QByteArray::number(1000 + i) + ";";
        printer.deviceId[1] = char(printer.deviceId.size());
        bus.addDevice(printer);
    }

    Usb usb;
    BareEnumeration bare;
    // Warm-up of both sides, and a check that each finds every printer.
    if (usb.enumPrinters() != kPrinters || bare.run() != kPrinters)
        fail(QStringLiteral("not every virtual printer was found"));
    if (!usb.printerNames.contains(QStringLiteral("ACME CP515_2867:1f")))
        fail(QStringLiteral("unexpected printer entries: ") + usb.printerNames.join(QLatin1Char(',')));
    bus.clearLogs();

    QVector<double> product, yardstick;
    for (int i = 0; i < runs; ++i) {
        for (int side = 0; side < 2; ++side) {
            const auto start = std::chrono::steady_clock::now();
            if ((side == 0) == (i % 2 == 0)) {
                if (usb.enumPrinters() != kPrinters)
                    fail(QStringLiteral("enumPrinters lost a printer"));
                product << bench::secondsSince(start);
            } else {
                if (bare.run() != kPrinters)
                    fail(QStringLiteral("the bare loop lost a printer"));
                yardstick << bench::secondsSince(start);
            }
        }
        if (i % 50 == 49)
            bus.clearLogs();
    }
    if (bare.replyBytes == 0)
        fail(QStringLiteral("no device ID was read"));

    const double mp = median(product), mb = median(yardstick);
    std::printf("enumeration: enumPrinters %.2f ms, bare libusb loop %.2f ms for %d printers "
                "(medians of %d alternating runs); ratio %.3f (target <= 1.10)\n",
                mp * 1000, mb * 1000, kPrinters, runs, mp / mb);
    return 0;
}
