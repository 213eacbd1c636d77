// SPDX-License-Identifier: LGPL-3.0-or-later
// Card printers emulated on umockdev: sysfs entries and udev events for discovery, and an
// ioctl handler per device node that plays the kernel's usbfs for libusb.
#include "virtualprinter.h"

#include <umockdev.h>

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstring>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Answered to USBDEVFS_GET_CAPABILITIES. Scatter-gather makes libusb submit a bulk
// transfer of any length as one URB, so one transfer is one record in the log.
constexpr quint32 kCapabilities = USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION
    | USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_BULK_SCATTER_GATHER
    | USBDEVFS_CAP_REAP_AFTER_DISCONNECT;

// Devices per emulated bus; device numbers are never reused within one process, so a
// stale handle of an unplugged device can never reach a newer device.
constexpr int kDevicesPerBus = 120;

QByteArray deviceDescriptor(const VirtualDevice &d)
{
    QByteArray b(18, '\0');
    b[0] = 18;
    b[1] = 1;    // DEVICE
    b[2] = 0x00; // bcdUSB 2.00
    b[3] = 0x02;
    b[4] = char(d.deviceClass);
    b[7] = 64; // bMaxPacketSize0
    b[8] = char(d.vendorId & 0xff);
    b[9] = char(d.vendorId >> 8);
    b[10] = char(d.productId & 0xff);
    b[11] = char(d.productId >> 8);
    b[12] = 0x00; // bcdDevice 1.00
    b[13] = 0x01;
    b[17] = 1; // bNumConfigurations
    return b;
}

QByteArray configDescriptor(const VirtualDevice &d)
{
    QByteArray body;
    for (int i = 0; i < d.interfaces.size(); ++i) {
        const auto &alts = d.interfaces[i];
        for (int a = 0; a < alts.size(); ++a) {
            const VirtualAltSetting &s = alts[a];
            const char itf[9] = {9, 4, char(i), char(a), char(s.endpoints.size()),
                                 char(s.interfaceClass), char(s.interfaceSubClass),
                                 char(s.interfaceProtocol), 0};
            body.append(itf, 9);
            for (const VirtualEndpoint &e : s.endpoints) {
                const bool periodic = (e.attributes & 3) == 1 || (e.attributes & 3) == 3;
                const char ep[7] = {7, 5, char(e.address), char(e.attributes),
                                    char(e.maxPacketSize & 0xff), char(e.maxPacketSize >> 8),
                                    char(periodic ? 1 : 0)};
                body.append(ep, 7);
            }
        }
    }
    const int total = 9 + body.size();
    const char head[9] = {9, 2, char(total & 0xff), char(total >> 8), char(d.interfaces.size()),
                          1 /* bConfigurationValue */, 0, char(0xc0), 50};
    return QByteArray(head, 9) + body;
}

// Whether alternate setting 0 of some interface has a bulk (or interrupt) endpoint at this
// address, which is what usbfs accepts a bulk URB for.
bool hasBulkEndpoint(const VirtualDevice &d, quint8 address)
{
    for (const auto &alts : d.interfaces) {
        if (alts.isEmpty())
            continue;
        for (const VirtualEndpoint &e : alts.first().endpoints)
            if (e.address == address && ((e.attributes & 3) == 2 || (e.attributes & 3) == 3))
                return true;
    }
    return false;
}

} // namespace

struct VirtualPrinterBus::Private
{
    struct Urb
    {
        UMockdevIoctlData *data = nullptr; // the client's usbdevfs_urb, owned reference
        bool ready = false;                // completed, waiting to be reaped
        Clock::time_point heldSince;
    };

    struct ClientWatch;
    struct Client
    {
        std::list<Urb> urbs; // submission order
        ClientWatch *watch = nullptr;
    };

    struct PendingFault
    {
        int at = 0; // 1-based count of bulk OUT transfers (claims for InterfaceBusy)
        Fault fault = Fault::None;
    };

    struct Device
    {
        Private *bus = nullptr;
        VirtualDevice config;
        int busNumber = 0;
        int deviceNumber = 0;
        QString sysPath;
        QString devNode;
        UMockdevIoctlBase *handler = nullptr;
        bool plugged = true;

        std::map<UMockdevIoctlClient *, Client> clients;
        int opens = 0;
        int closes = 0;
        int claims = 0;
        int releases = 0;
        int bulkOutCount = 0;
        QVector<PendingFault> faults;
        QStringList events;
    };

    UMockdevTestbed *testbed = nullptr;
    QString rootDir;
    GMainContext *worker = nullptr; // where umockdev answers the nodes, once known

    mutable std::mutex mutex;
    // Every device ever added, so handles kept across reset() still reach a live handler.
    std::list<Device> allDevices;
    QVector<Device *> devices; // index given by addDevice, since the last reset
    QVector<BulkTransfer> bulkLog;
    QStringList allEvents; // "<device> <event>", across devices
    int nextSlot = 0;
    std::chrono::milliseconds heldLimit{30000};

    Device *device(int index) const
    {
        return index >= 0 && index < devices.size() ? devices[index] : nullptr;
    }
    int indexOf(const Device *dev) const { return devices.indexOf(const_cast<Device *>(dev)); }
    void log(Device *dev, const QString &event)
    {
        dev->events << event;
        const int index = indexOf(dev);
        if (index >= 0)
            allEvents << QStringLiteral("%1 %2").arg(index).arg(event);
    }

    static gboolean onIoctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer data);
    static void onConnected(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer data);
    struct ClientWatch
    {
        Device *device;
        UMockdevIoctlClient *client; // only a key: the object is gone when this is used
    };
    static void onClientGone(gpointer data, GObject *client);
    void settle() const;

    void handleIoctl(Device *dev, UMockdevIoctlClient *client);
    void submitUrb(Device *dev, Client &c, UMockdevIoctlClient *client, UMockdevIoctlData *arg);
    void answerControl(Device *dev, usbdevfs_urb *urb, UMockdevIoctlData *urbData, Urb &entry);
    void answerBulk(Device *dev, usbdevfs_urb *urb, UMockdevIoctlData *urbData, Urb &entry);
    Fault takeFault(Device *dev, int count, bool claim);
    bool markUnplugged(Device *dev);
    void removeFromTestbed(const QVector<Device *> &gone);
    static void dropUrbs(Client &c);
};

// Runs on umockdev's worker thread.
gboolean VirtualPrinterBus::Private::onIoctl(UMockdevIoctlBase *, UMockdevIoctlClient *client,
                                             gpointer data)
{
    auto *dev = static_cast<Device *>(data);
    dev->bus->handleIoctl(dev, client);
    return TRUE;
}

void VirtualPrinterBus::Private::onConnected(UMockdevIoctlBase *, UMockdevIoctlClient *client,
                                             gpointer data)
{
    auto *dev = static_cast<Device *>(data);
    std::lock_guard<std::mutex> lock(dev->bus->mutex);
    if (!dev->bus->worker)
        dev->bus->worker = g_main_context_ref_thread_default();
    ++dev->opens;
    dev->bus->log(dev, QStringLiteral("open"));
    // umockdev drops its client object as soon as the node is closed but does not emit
    // "client-vanished" for it; the object's end is the reliable sign of a close.
    Client &c = dev->clients[client];
    c.watch = new ClientWatch{dev, client};
    g_object_weak_ref(G_OBJECT(client), &Private::onClientGone, c.watch);
}

void VirtualPrinterBus::Private::onClientGone(gpointer data, GObject *)
{
    std::unique_ptr<ClientWatch> watch(static_cast<ClientWatch *>(data));
    Device *dev = watch->device;
    std::lock_guard<std::mutex> lock(dev->bus->mutex);
    auto it = dev->clients.find(watch->client);
    if (it != dev->clients.end()) {
        dropUrbs(it->second);
        dev->clients.erase(it);
    }
    ++dev->closes;
    dev->bus->log(dev, QStringLiteral("close"));
}

// umockdev notices a closed node on its worker thread, a moment after close() returned.
// An idle source of low priority runs there only once nothing more urgent is ready, so
// every close made before this call has been counted when it returns.
void VirtualPrinterBus::Private::settle() const
{
    GMainContext *context = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!worker)
            return; // no node was ever opened
        context = g_main_context_ref(worker);
    }
    struct Flag
    {
        std::mutex mutex;
        std::condition_variable raised;
        bool done = false;
    };
    auto flag = std::make_shared<Flag>();
    GSource *idle = g_idle_source_new();
    g_source_set_priority(idle, G_PRIORITY_LOW);
    g_source_set_callback(
        idle,
        [](gpointer data) -> gboolean {
            auto *f = static_cast<std::shared_ptr<Flag> *>(data);
            std::lock_guard<std::mutex> lock((*f)->mutex);
            (*f)->done = true;
            (*f)->raised.notify_all();
            return G_SOURCE_REMOVE;
        },
        new std::shared_ptr<Flag>(flag),
        [](gpointer data) { delete static_cast<std::shared_ptr<Flag> *>(data); });
    g_source_attach(idle, context);
    {
        std::unique_lock<std::mutex> lock(flag->mutex);
        // Bounded: a client spinning on a held URB can keep the worker busy for a while.
        flag->raised.wait_for(lock, std::chrono::seconds(2), [&] { return flag->done; });
    }
    g_source_destroy(idle);
    g_source_unref(idle);
    g_main_context_unref(context);
}

void VirtualPrinterBus::Private::dropUrbs(Client &c)
{
    for (Urb &u : c.urbs)
        g_object_unref(u.data);
    c.urbs.clear();
}

Fault VirtualPrinterBus::Private::takeFault(Device *dev, int count, bool claim)
{
    for (int i = 0; i < dev->faults.size(); ++i) {
        const PendingFault f = dev->faults[i];
        if ((f.fault == Fault::InterfaceBusy) == claim && f.at == count) {
            dev->faults.removeAt(i);
            return f.fault;
        }
    }
    return Fault::None;
}

void VirtualPrinterBus::Private::handleIoctl(Device *dev, UMockdevIoctlClient *client)
{
    const gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
    long result = 0;
    int error = 0;
    bool throttle = false;

    {
        std::lock_guard<std::mutex> lock(mutex);
        Client &c = dev->clients[client];

        // A gone device still hands back its URBs (ended with -ENODEV), as the kernel does:
        // libusb learns of the loss from the URB status, since the node never reports POLLERR.
        const bool reap = request == USBDEVFS_REAPURB || request == USBDEVFS_REAPURBNDELAY;
        if (!dev->plugged && !reap) {
            umockdev_ioctl_client_complete(client, -1, ENODEV);
            return;
        }

        switch (request) {
        case USBDEVFS_GET_CAPABILITIES: {
            UMockdevIoctlData *caps = umockdev_ioctl_data_resolve(arg, 0, sizeof(quint32), nullptr);
            if (caps) {
                const quint32 value = kCapabilities;
                std::memcpy(caps->data, &value, sizeof value);
                g_object_unref(caps);
            } else {
                result = -1;
                error = EFAULT;
            }
            break;
        }
        case USBDEVFS_SUBMITURB:
            submitUrb(dev, c, client, arg);
            return; // answered inside
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY: {
            auto ready = c.urbs.end();
            for (auto it = c.urbs.begin(); it != c.urbs.end(); ++it) {
                if (!it->ready && Clock::now() - it->heldSince > heldLimit) {
                    // A held URB never outlives the safety limit, so no test hangs for ever.
                    reinterpret_cast<usbdevfs_urb *>(it->data->data)->status = -ETIMEDOUT;
                    it->ready = true;
                }
                if (it->ready) {
                    ready = it;
                    break;
                }
            }
            if (ready == c.urbs.end()) {
                result = -1;
                error = dev->plugged ? EAGAIN : ENODEV;
                // libusb polls a node that is always ready, so it spins while a URB is held.
                throttle = !c.urbs.empty();
                break;
            }
            UMockdevIoctlData *slot = umockdev_ioctl_data_resolve(arg, 0, sizeof(void *), nullptr);
            if (!slot) {
                result = -1;
                error = EFAULT;
                break;
            }
            UMockdevIoctlData *urbData = ready->data;
            c.urbs.erase(ready);
            umockdev_ioctl_data_set_ptr(slot, 0, urbData);
            umockdev_ioctl_client_complete(client, 0, 0);
            g_object_unref(slot);
            g_object_unref(urbData);
            return;
        }
        case USBDEVFS_DISCARDURB: {
            // The argument is the URB's address in the client, not a pointer to resolve.
            const gulong address = *reinterpret_cast<const gulong *>(arg->data);
            result = -1;
            error = EINVAL;
            for (Urb &u : c.urbs) {
                if (u.data->client_addr == address && !u.ready) {
                    reinterpret_cast<usbdevfs_urb *>(u.data->data)->status = -ENOENT;
                    u.ready = true;
                    result = 0;
                    error = 0;
                    break;
                }
            }
            break;
        }
        case USBDEVFS_DISCONNECT_CLAIM:
        case USBDEVFS_CLAIMINTERFACE: {
            UMockdevIoctlData *d = umockdev_ioctl_data_resolve(arg, 0, sizeof(unsigned int), nullptr);
            const unsigned int itf = d ? *reinterpret_cast<unsigned int *>(d->data) : 0;
            if (d)
                g_object_unref(d);
            ++dev->claims;
            if (takeFault(dev, dev->claims, true) == Fault::InterfaceBusy) {
                dev->bus->log(dev, QStringLiteral("claim %1 busy").arg(itf));
                result = -1;
                error = EBUSY;
            } else {
                dev->bus->log(dev, QStringLiteral("claim %1").arg(itf));
            }
            break;
        }
        case USBDEVFS_RELEASEINTERFACE: {
            UMockdevIoctlData *d = umockdev_ioctl_data_resolve(arg, 0, sizeof(unsigned int), nullptr);
            const unsigned int itf = d ? *reinterpret_cast<unsigned int *>(d->data) : 0;
            if (d)
                g_object_unref(d);
            ++dev->releases;
            dev->bus->log(dev, QStringLiteral("release %1").arg(itf));
            break;
        }
        case USBDEVFS_IOCTL: {
            UMockdevIoctlData *d = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_ioctl), nullptr);
            const int code = d ? reinterpret_cast<usbdevfs_ioctl *>(d->data)->ioctl_code : 0;
            if (d)
                g_object_unref(d);
            if (code == int(USBDEVFS_CONNECT)) {
                result = 1; // a driver was bound again, as libusb expects after a release
            } else {
                result = -1;
                error = ENODATA;
            }
            break;
        }
        case USBDEVFS_GETDRIVER:
            result = -1;
            error = ENODATA; // no kernel driver bound
            break;
        case USBDEVFS_SETINTERFACE:
        case USBDEVFS_SETCONFIGURATION:
        case USBDEVFS_CLEAR_HALT:
        case USBDEVFS_RESET:
        case USBDEVFS_RESETEP:
            break;
        default:
            result = -1;
            error = ENOTTY;
            break;
        }
    }
    if (throttle)
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    umockdev_ioctl_client_complete(client, result, error);
}

void VirtualPrinterBus::Private::submitUrb(Device *dev, Client &c, UMockdevIoctlClient *client,
                                           UMockdevIoctlData *arg)
{
    UMockdevIoctlData *urbData = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
    if (!urbData) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    auto *urb = reinterpret_cast<usbdevfs_urb *>(urbData->data);
    if (urb->type == USBDEVFS_URB_TYPE_BULK && !hasBulkEndpoint(dev->config, urb->endpoint)) {
        // The kernel refuses a bulk URB for an endpoint the device does not have.
        log(dev, QStringLiteral("bulk %1 %2 refused").arg(urb->endpoint, 2, 16, QLatin1Char('0'))
                     .arg(urb->buffer_length));
        g_object_unref(urbData);
        umockdev_ioctl_client_complete(client, -1, ENOENT);
        return;
    }
    Urb entry;
    entry.data = urbData; // the queue owns this reference from now on
    urb->status = 0;
    urb->actual_length = 0;
    if (urb->type == USBDEVFS_URB_TYPE_CONTROL)
        answerControl(dev, urb, urbData, entry);
    else if (urb->type == USBDEVFS_URB_TYPE_BULK)
        answerBulk(dev, urb, urbData, entry);
    else
        entry.ready = true; // iso and interrupt URBs complete empty
    if (!entry.ready)
        entry.heldSince = Clock::now();
    c.urbs.push_back(entry);
    umockdev_ioctl_client_complete(client, 0, 0);
}

void VirtualPrinterBus::Private::answerControl(Device *dev, usbdevfs_urb *urb,
                                               UMockdevIoctlData *urbData, Urb &entry)
{
    entry.ready = true;
    if (urb->buffer_length < 8) {
        urb->status = -EINVAL;
        return;
    }
    UMockdevIoctlData *buf = umockdev_ioctl_data_resolve(
        urbData, offsetof(usbdevfs_urb, buffer), size_t(urb->buffer_length), nullptr);
    if (!buf) {
        urb->status = -EFAULT;
        return;
    }
    const quint8 *setup = buf->data;
    const int requestType = setup[0];
    const int request = setup[1];
    const int value = setup[2] | setup[3] << 8;
    const int index = setup[4] | setup[5] << 8;
    const int length = qMin(setup[6] | setup[7] << 8, urb->buffer_length - 8);
    dev->bus->log(dev, QStringLiteral("control %1 %2 %3 %4 %5")
                       .arg(requestType, 2, 16, QLatin1Char('0'))
                       .arg(request, 2, 16, QLatin1Char('0'))
                       .arg(value, 4, 16, QLatin1Char('0'))
                       .arg(index, 4, 16, QLatin1Char('0'))
                       .arg(length));

    if (requestType == 0xa1 && request == 0) { // printer class GET_DEVICE_ID
        switch (dev->config.deviceIdReply) {
        case VirtualDevice::DeviceIdReply::Answer: {
            const int n = qMin(length, int(dev->config.deviceId.size()));
            std::memcpy(buf->data + 8, dev->config.deviceId.constData(), size_t(n));
            urb->actual_length = n;
            break;
        }
        case VirtualDevice::DeviceIdReply::Fail:
            urb->status = -EPIPE;
            break;
        case VirtualDevice::DeviceIdReply::NeverAnswer:
            entry.ready = false;
            break;
        }
    } else {
        urb->status = -EPIPE; // any other request is refused, as a simple device would
    }
    g_object_unref(buf);
}

void VirtualPrinterBus::Private::answerBulk(Device *dev, usbdevfs_urb *urb,
                                            UMockdevIoctlData *urbData, Urb &entry)
{
    entry.ready = true;
    if (urb->endpoint & 0x80) {
        dev->bus->log(dev, QStringLiteral("bulk %1 %2").arg(urb->endpoint, 2, 16, QLatin1Char('0')).arg(0));
        return; // the printer has nothing to say: IN transfers complete empty
    }

    ++dev->bulkOutCount;
    const Fault fault = takeFault(dev, dev->bulkOutCount, false);
    BulkTransfer record;
    record.device = indexOf(dev);
    record.endpoint = urb->endpoint;
    record.length = urb->buffer_length;

    int accepted = urb->buffer_length;
    switch (fault) {
    case Fault::Stall:
        urb->status = -EPIPE;
        accepted = 0;
        break;
    case Fault::DeviceGone:
        urb->status = -ENODEV;
        accepted = 0;
        break;
    case Fault::ShortWrite:
        accepted = urb->buffer_length / 2;
        break;
    case Fault::NeverCompletes:
        entry.ready = false;
        accepted = 0;
        break;
    case Fault::None:
    case Fault::InterfaceBusy:
        break;
    }

    if (accepted > 0) {
        UMockdevIoctlData *buf = umockdev_ioctl_data_resolve(
            urbData, offsetof(usbdevfs_urb, buffer), size_t(urb->buffer_length), nullptr);
        if (buf) {
            record.data = QByteArray(reinterpret_cast<const char *>(buf->data), accepted);
            g_object_unref(buf);
        } else {
            urb->status = -EFAULT;
            accepted = 0;
        }
    }
    urb->actual_length = accepted;
    bulkLog << record;
    QString event = QStringLiteral("bulk %1 %2").arg(urb->endpoint, 2, 16, QLatin1Char('0'))
                        .arg(urb->buffer_length);
    switch (fault) {
    case Fault::Stall: event += QStringLiteral(" stall"); break;
    case Fault::DeviceGone: event += QStringLiteral(" gone"); break;
    case Fault::ShortWrite: event += QStringLiteral(" short %1").arg(accepted); break;
    case Fault::NeverCompletes: event += QStringLiteral(" held"); break;
    case Fault::None:
    case Fault::InterfaceBusy: break;
    }
    log(dev, event);
}

bool VirtualPrinterBus::Private::markUnplugged(Device *dev)
{
    if (!dev->plugged)
        return false;
    dev->plugged = false;
    for (auto &kv : dev->clients) {
        // Held URBs end as the kernel ends them on a disconnect.
        for (Urb &u : kv.second.urbs) {
            if (!u.ready) {
                reinterpret_cast<usbdevfs_urb *>(u.data->data)->status = -ENODEV;
                u.ready = true;
            }
        }
    }
    log(dev, QStringLiteral("unplug"));
    return true;
}

// Outside the mutex: the testbed may wait for its worker thread, which may be waiting
// for the mutex to answer an ioctl.
void VirtualPrinterBus::Private::removeFromTestbed(const QVector<Device *> &gone)
{
    for (Device *dev : gone) {
        const QByteArray sys = dev->sysPath.toUtf8();
        umockdev_testbed_uevent(testbed, sys.constData(), "remove");
        umockdev_testbed_remove_device(testbed, sys.constData());
        QFile::remove(rootDir + dev->devNode);
    }
}

VirtualPrinterBus::VirtualPrinterBus() : d(new Private)
{
    d->testbed = umockdev_testbed_new();
    gchar *root = umockdev_testbed_get_root_dir(d->testbed);
    d->rootDir = QString::fromUtf8(root);
    g_free(root);
}

VirtualPrinterBus::~VirtualPrinterBus()
{
    QVector<Private::Device *> gone;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        for (Private::Device &dev : d->allDevices)
            if (d->markUnplugged(&dev))
                gone << &dev;
    }
    d->removeFromTestbed(gone);
    for (Private::Device &dev : d->allDevices) {
        if (!dev.handler)
            continue;
        const QByteArray node = dev.devNode.toUtf8();
        umockdev_testbed_detach_ioctl(d->testbed, node.constData(), nullptr);
        g_signal_handlers_disconnect_by_data(dev.handler, &dev);
        g_object_unref(dev.handler);
        dev.handler = nullptr;
    }
    // Handles still open now (a Usb outliving the bus) must not call back into freed state.
    std::lock_guard<std::mutex> lock(d->mutex);
    for (Private::Device &dev : d->allDevices) {
        for (auto &kv : dev.clients) {
            Private::dropUrbs(kv.second);
            if (kv.second.watch) {
                g_object_weak_unref(G_OBJECT(kv.first), &Private::onClientGone, kv.second.watch);
                delete kv.second.watch;
            }
        }
        dev.clients.clear();
    }
    if (d->worker)
        g_main_context_unref(d->worker);
    g_object_unref(d->testbed);
}

int VirtualPrinterBus::addDevice(const VirtualDevice &device)
{
    Private::Device *dev = nullptr;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        d->allDevices.emplace_back();
        dev = &d->allDevices.back();
        dev->bus = d.get();
        dev->config = device;
        const int slot = d->nextSlot++;
        dev->busNumber = 1 + slot / kDevicesPerBus;
        dev->deviceNumber = 2 + slot % kDevicesPerBus;
        dev->devNode = QString::asprintf("/dev/bus/usb/%03d/%03d", dev->busNumber, dev->deviceNumber);
        d->devices << dev;
    }

    const QByteArray name = QString::asprintf("usb%d/%d-%d", dev->busNumber, dev->busNumber,
                                              dev->deviceNumber - 1).toUtf8();
    const QByteArray busnum = QByteArray::number(dev->busNumber);
    const QByteArray devnum = QByteArray::number(dev->deviceNumber);
    const QByteArray busnum3 = QString::asprintf("%03d", dev->busNumber).toUtf8();
    const QByteArray devnum3 = QString::asprintf("%03d", dev->deviceNumber).toUtf8();
    const QByteArray vendor = QString::asprintf("%04x", device.vendorId).toUtf8();
    const QByteArray product = QString::asprintf("%04x", device.productId).toUtf8();
    const QByteArray devName = dev->devNode.toUtf8();
    const QByteArray minor = QByteArray::number((dev->busNumber - 1) * 128 + dev->deviceNumber - 1);

    if (device.hasDeviceNode) {
        // umockdev does not create usbfs nodes; libusb_open needs one to exist.
        QDir().mkpath(d->rootDir + QFileInfo(dev->devNode).path());
        QFile node(d->rootDir + dev->devNode);
        node.open(QIODevice::WriteOnly);
        node.close();

        dev->handler = umockdev_ioctl_base_new();
        g_signal_connect(dev->handler, "handle-ioctl", G_CALLBACK(Private::onIoctl), dev);
        g_signal_connect(dev->handler, "client-connected", G_CALLBACK(Private::onConnected), dev);
        GError *error = nullptr;
        if (!umockdev_testbed_attach_ioctl(d->testbed, devName.constData(), dev->handler, &error)) {
            qWarning("virtual printer: cannot attach %s: %s", devName.constData(), error->message);
            g_error_free(error);
        }
    }

    gchar *sysPath = umockdev_testbed_add_device(
        d->testbed, "usb", name.constData(), nullptr,
        "busnum", (busnum + '\n').constData(), "devnum", (devnum + '\n').constData(),
        "speed", "480\n", "bConfigurationValue", "1\n", "bNumConfigurations", "1\n",
        "idVendor", (vendor + '\n').constData(), "idProduct", (product + '\n').constData(), nullptr,
        "DEVNAME", devName.constData(), "DEVTYPE", "usb_device", "BUSNUM", busnum3.constData(),
        "DEVNUM", devnum3.constData(), "MAJOR", "189", "MINOR", minor.constData(),
        "PRODUCT", (vendor + '/' + product + "/100").constData(), nullptr);
    dev->sysPath = QString::fromUtf8(sysPath);

    const QByteArray descriptors = deviceDescriptor(device) + configDescriptor(device);
    umockdev_testbed_set_attribute_binary(d->testbed, sysPath, "descriptors",
                                          reinterpret_cast<guint8 *>(const_cast<char *>(descriptors.constData())),
                                          descriptors.size());
    // add_device already announced the device, before its descriptors existed; a running
    // libusb then dropped it. Announce it again now that it is complete (libusb ignores a
    // second "add" of a device it already knows).
    umockdev_testbed_uevent(d->testbed, sysPath, "add");
    g_free(sysPath);

    std::lock_guard<std::mutex> lock(d->mutex);
    return d->indexOf(dev);
}

void VirtualPrinterBus::unplug(int device)
{
    QVector<Private::Device *> gone;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        Private::Device *dev = d->device(device);
        if (dev && d->markUnplugged(dev))
            gone << dev;
    }
    d->removeFromTestbed(gone);
}

void VirtualPrinterBus::reset()
{
    QVector<Private::Device *> gone;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        for (Private::Device *dev : d->devices) {
            if (d->markUnplugged(dev))
                gone << dev;
            dev->faults.clear();
        }
        d->devices.clear();
        d->bulkLog.clear();
        d->allEvents.clear();
    }
    d->removeFromTestbed(gone);
}

void VirtualPrinterBus::injectFault(int device, int nth, Fault fault)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    Private::Device *dev = d->device(device);
    if (!dev || nth < 1 || fault == Fault::None)
        return;
    const int base = fault == Fault::InterfaceBusy ? dev->claims : dev->bulkOutCount;
    dev->faults << Private::PendingFault{base + nth, fault};
}

QVector<BulkTransfer> VirtualPrinterBus::bulkTransfers() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->bulkLog;
}

QVector<BulkTransfer> VirtualPrinterBus::bulkTransfers(int device) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    QVector<BulkTransfer> out;
    for (const BulkTransfer &t : d->bulkLog)
        if (t.device == device)
            out << t;
    return out;
}

QStringList VirtualPrinterBus::events(int device) const
{
    d->settle();
    std::lock_guard<std::mutex> lock(d->mutex);
    const Private::Device *dev = d->device(device);
    return dev ? dev->events : QStringList();
}

QStringList VirtualPrinterBus::events() const
{
    d->settle();
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->allEvents;
}

void VirtualPrinterBus::clearLogs()
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->bulkLog.clear();
    d->allEvents.clear();
    for (Private::Device *dev : d->devices)
        dev->events.clear();
}

int VirtualPrinterBus::opens(int device) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    const Private::Device *dev = d->device(device);
    return dev ? dev->opens : 0;
}

int VirtualPrinterBus::closes(int device) const
{
    d->settle();
    std::lock_guard<std::mutex> lock(d->mutex);
    const Private::Device *dev = d->device(device);
    return dev ? dev->closes : 0;
}

int VirtualPrinterBus::claims(int device) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    const Private::Device *dev = d->device(device);
    return dev ? dev->claims : 0;
}

int VirtualPrinterBus::releases(int device) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    const Private::Device *dev = d->device(device);
    return dev ? dev->releases : 0;
}

void VirtualPrinterBus::setHeldTransferLimit(int milliseconds)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->heldLimit = std::chrono::milliseconds(qMax(0, milliseconds));
}

int VirtualPrinterBus::openHandles() const
{
    d->settle();
    std::lock_guard<std::mutex> lock(d->mutex);
    int n = 0;
    for (const Private::Device &dev : d->allDevices)
        n += dev.opens - dev.closes;
    return n;
}
