// Placeholder: libusb link to come.
#include "usb.h"

#include <libusb.h>

QString printerEntry(const QByteArray &, int, int) { return QString(); }

Usb::Usb(QObject *parent) : QObject(parent) { libusb_init(&context); }
Usb::~Usb()
{
    closePorts();
    devices.clear();
    if (context)
        libusb_exit(context);
}
int Usb::enumPrinters() { return 0; }
bool Usb::sendData(const unsigned char *, int) { return false; }
void Usb::closePorts() {}
