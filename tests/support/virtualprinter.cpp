// Placeholder: the emulator comes with the USB link.
#include "virtualprinter.h"

struct VirtualPrinterBus::Private {};
VirtualPrinterBus::VirtualPrinterBus() : d(new Private) {}
VirtualPrinterBus::~VirtualPrinterBus() = default;
int VirtualPrinterBus::addDevice(const VirtualDevice &) { return -1; }
void VirtualPrinterBus::unplug(int) {}
void VirtualPrinterBus::reset() {}
void VirtualPrinterBus::injectFault(int, int, Fault) {}
QVector<BulkTransfer> VirtualPrinterBus::bulkTransfers() const { return {}; }
QVector<BulkTransfer> VirtualPrinterBus::bulkTransfers(int) const { return {}; }
QStringList VirtualPrinterBus::events(int) const { return {}; }
void VirtualPrinterBus::clearLogs() {}
int VirtualPrinterBus::opens(int) const { return 0; }
int VirtualPrinterBus::closes(int) const { return 0; }
int VirtualPrinterBus::claims(int) const { return 0; }
int VirtualPrinterBus::releases(int) const { return 0; }
int VirtualPrinterBus::openHandles() const { return 0; }
