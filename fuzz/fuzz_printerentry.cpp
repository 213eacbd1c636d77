// SPDX-License-Identifier: LGPL-3.0-or-later
// Fuzzes the printer entry built from a device ID reply: any reply of up to 128 bytes,
// any vendor and product ID. The entry must always end in "_<vid>:<pid>".
#include "usb.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 4)
        return 0;
    const int vendorId = data[0] | (data[1] << 8);
    const int productId = data[2] | (data[3] << 8);
    data += 4;
    size -= 4;
    if (size > 128)
        size = 128;

    const QByteArray reply(reinterpret_cast<const char *>(data), int(size));
    const QString entry = printerEntry(reply, vendorId, productId);

    const QString tail = QStringLiteral("_%1:%2").arg(vendorId, 0, 16).arg(productId, 0, 16);
    if (!entry.endsWith(tail) || !entry.contains(QLatin1Char(' ')))
        abort();
    // MFG and MDL are each cut from the reply (a key such as "MFGMDL" feeds both).
    if (entry.size() > 2 * int(size) + tail.size() + 1)
        abort();
    return 0;
}
