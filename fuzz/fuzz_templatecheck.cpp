// SPDX-License-Identifier: LGPL-3.0-or-later
// Fuzzes the template check: any file content goes through the same loading and checking
// that a chosen template goes through, and what passes is written back as a store would.
#include "bmpfile.h"

#include <QBuffer>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FIBITMAP *bitmap = bmpfile::loadMonochrome(data, size);
    if (!bitmap)
        return 0;
    // Whatever the loader lets through must be what the check relies on.
    if (FreeImage_GetImageType(bitmap) != FIT_BITMAP || FreeImage_GetBPP(bitmap) != 1
        || FreeImage_GetWidth(bitmap) == 0 || FreeImage_GetHeight(bitmap) == 0)
        abort();

    QByteArray stored;
    QBuffer device(&stored);
    device.open(QIODevice::WriteOnly);
    const bool saved = bmpfile::save(bitmap, &device);
    FreeImage_Unload(bitmap);
    if (!saved)
        abort();

    // What the tool stores must load again as the same kind of picture.
    FIBITMAP *again = bmpfile::loadMonochrome(reinterpret_cast<const uint8_t *>(stored.constData()),
                                              size_t(stored.size()));
    if (!again)
        abort();
    FreeImage_Unload(again);
    return 0;
}
