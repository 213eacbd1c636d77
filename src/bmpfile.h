// SPDX-License-Identifier: LGPL-3.0-or-later
// Monochrome BMP files in and out of FreeImage, whatever info header the writing program chose.
#pragma once

#include <QByteArray>
#include <QString>

#include <FreeImage.h>

#include <cstddef>
#include <cstdint>

class QIODevice;

namespace bmpfile {

// Larger files are refused unread: a 1-bit card template is well under 1 MiB.
constexpr qint64 kMaxFileSize = 64 * 1024 * 1024;

// Rewrites an uncompressed 1-bit BMP whose info header has 12, 40, 52, 56, 64 (OS/2 2.x),
// 108 (V4) or 124 (V5) bytes, with rows bottom-up or top-down, into the plain 40-byte
// form that FreeImage reads. Empty for anything else, including malformed and truncated
// files. The picture, colour table and resolution are kept as the file has them.
QByteArray toInfoHeaderForm(const uint8_t *data, size_t size);

// Decodes such bytes with FreeImage; null when toInfoHeaderForm refuses them.
// The caller owns the result and releases it with FreeImage_Unload.
FIBITMAP *loadMonochrome(const uint8_t *data, size_t size);

// Reads a file and decodes it as loadMonochrome does; null when it cannot be read.
FIBITMAP *loadMonochromeFile(const QString &path);

// Writes the bitmap with FreeImage's BMP writer (default options) to an open device.
bool save(FIBITMAP *bitmap, QIODevice *device);

} // namespace bmpfile
