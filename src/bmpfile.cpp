// SPDX-License-Identifier: LGPL-3.0-or-later
#include "bmpfile.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>

#include <climits>

namespace bmpfile {

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr size_t kInfoHeaderSize = 40;
// The one depth FreeImage may decode here, so its other, riskier decoders never see a file.
constexpr uint32_t kMonochromeEntries = 2;
// FreeImage's own resolution for headers that carry none (72 dpi).
constexpr uint32_t kDefaultDotsPerMeter = 2835;

uint16_t get16(const uint8_t *p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t get32(const uint8_t *p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

void put16(QByteArray &out, uint16_t v)
{
    out.append(char(v & 0xff));
    out.append(char(v >> 8));
}

void put32(QByteArray &out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.append(char((v >> (8 * i)) & 0xff));
}

unsigned DLL_CALLCONV writeToDevice(void *buffer, unsigned size, unsigned count, fi_handle handle)
{
    auto *device = static_cast<QIODevice *>(handle);
    const qint64 total = qint64(size) * count;
    return device->write(static_cast<const char *>(buffer), total) == total ? count : 0;
}

unsigned DLL_CALLCONV readNothing(void *, unsigned, unsigned, fi_handle) { return 0; }

int DLL_CALLCONV seekDevice(fi_handle handle, long offset, int origin)
{
    auto *device = static_cast<QIODevice *>(handle);
    qint64 to = offset;
    if (origin == SEEK_CUR)
        to += device->pos();
    else if (origin == SEEK_END)
        to += device->size();
    return device->seek(to) ? 0 : -1;
}

long DLL_CALLCONV tellDevice(fi_handle handle)
{
    return long(static_cast<QIODevice *>(handle)->pos());
}

} // namespace

QByteArray toInfoHeaderForm(const uint8_t *data, size_t size)
{
    if (!data || size < kFileHeaderSize + 4 || data[0] != 'B' || data[1] != 'M')
        return {};

    const uint32_t pixelOffset = get32(data + 10);
    const uint32_t headerSize = get32(data + 14);
    switch (headerSize) {
    case 12:  // OS/2 1.x, also written by Windows
    case 40:  // Windows 3.x
    case 52:  // undocumented V2, V3
    case 56:
    case 64:  // OS/2 2.x
    case 108: // V4: ImageMagick and most editors by default
    case 124: // V5
        break;
    default:
        return {};
    }
    if (size < kFileHeaderSize + headerSize)
        return {};

    const uint8_t *info = data + kFileHeaderSize;
    int64_t width = 0;
    int64_t height = 0;
    unsigned planes = 0;
    unsigned bitCount = 0;
    uint32_t compression = 0;
    uint32_t dotsPerMeterX = kDefaultDotsPerMeter;
    uint32_t dotsPerMeterY = kDefaultDotsPerMeter;
    uint32_t entries = kMonochromeEntries;
    size_t entrySize = 4;
    if (headerSize == 12) {
        width = get16(info + 4);
        height = get16(info + 6);
        planes = get16(info + 8);
        bitCount = get16(info + 10);
        entrySize = 3;
    } else {
        // The first 40 bytes of every longer header have the Windows 3.x layout.
        width = int32_t(get32(info + 4));
        height = int32_t(get32(info + 8));
        planes = get16(info + 12);
        bitCount = get16(info + 14);
        compression = get32(info + 16);
        dotsPerMeterX = get32(info + 24);
        dotsPerMeterY = get32(info + 28);
        const uint32_t used = get32(info + 32);
        // FreeImage reads that many entries and ignores the count when it is out of range.
        if (used != 0 && used < kMonochromeEntries)
            entries = used;
    }
    if (planes != 1 || bitCount != 1 || compression != 0)
        return {};
    // A negative height means rows stored top-down.
    const int64_t rows = height < 0 ? -height : height;
    if (width < 1 || rows < 1 || rows > INT_MAX)
        return {};

    const uint64_t stride = uint64_t((width + 31) / 32) * 4;
    const uint64_t pixelBytes = stride * uint64_t(rows);
    const uint64_t paletteEnd = kFileHeaderSize + headerSize + uint64_t(entries) * entrySize;
    if (pixelBytes > uint64_t(kMaxFileSize) || paletteEnd > size || pixelOffset < paletteEnd
        || pixelOffset > size || pixelBytes > size - pixelOffset)
        return {};

    const uint32_t outPixelOffset = uint32_t(kFileHeaderSize + kInfoHeaderSize + entries * 4);
    QByteArray out;
    out.reserve(int(outPixelOffset + pixelBytes));
    out.append("BM", 2);
    put32(out, uint32_t(outPixelOffset + pixelBytes));
    put32(out, 0);
    put32(out, outPixelOffset);

    put32(out, kInfoHeaderSize);
    put32(out, uint32_t(width));
    put32(out, uint32_t(int32_t(height)));
    put16(out, 1);
    put16(out, 1);
    put32(out, 0); // no compression
    put32(out, uint32_t(pixelBytes));
    put32(out, dotsPerMeterX);
    put32(out, dotsPerMeterY);
    put32(out, entries);
    put32(out, 0);

    const uint8_t *palette = data + kFileHeaderSize + headerSize;
    for (uint32_t i = 0; i < entries; ++i) {
        const uint8_t *entry = palette + i * entrySize;
        out.append(reinterpret_cast<const char *>(entry), 3);
        out.append(entrySize == 4 ? char(entry[3]) : '\0');
    }
    out.append(reinterpret_cast<const char *>(data + pixelOffset), int(pixelBytes));
    return out;
}

FIBITMAP *loadMonochrome(const uint8_t *data, size_t size)
{
    QByteArray plain = toInfoHeaderForm(data, size);
    if (plain.isEmpty())
        return nullptr;
    FIMEMORY *memory = FreeImage_OpenMemory(reinterpret_cast<BYTE *>(plain.data()), DWORD(plain.size()));
    if (!memory)
        return nullptr;
    FIBITMAP *bitmap = FreeImage_LoadFromMemory(FIF_BMP, memory, BMP_DEFAULT);
    FreeImage_CloseMemory(memory);
    return bitmap;
}

FIBITMAP *loadMonochromeFile(const QString &path)
{
    // Only regular files: reading a pipe or a device could block or never end.
    if (!QFileInfo(path).isFile())
        return nullptr;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    const QByteArray bytes = file.read(kMaxFileSize + 1);
    if (bytes.size() > kMaxFileSize)
        return nullptr;
    return loadMonochrome(reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size()));
}

bool save(FIBITMAP *bitmap, QIODevice *device)
{
    FreeImageIO io;
    io.read_proc = readNothing;
    io.write_proc = writeToDevice;
    io.seek_proc = seekDevice;
    io.tell_proc = tellDevice;
    return FreeImage_SaveToHandle(FIF_BMP, bitmap, &io, static_cast<fi_handle>(device), BMP_DEFAULT);
}

} // namespace bmpfile
