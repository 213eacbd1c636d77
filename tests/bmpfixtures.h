// SPDX-License-Identifier: LGPL-3.0-or-later
// Small 1-bit pictures written as BMP bytes by hand, in each info header form, and
// FreeImage's own encoding of them as the reference for what the tool stores.
#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <FreeImage.h>

#include <cstdint>

namespace fixtures {

// A 1-bit picture: two palette entries (blue, green, red, reserved) and a pattern that
// differs between its top and bottom rows, so that a flipped decode shows.
struct Picture
{
    int width = 1016;
    int height = 656;
    uint8_t colour0[4] = {0, 0, 0, 0};       // black
    uint8_t colour1[4] = {255, 255, 255, 0}; // white
    int seed = 0;                            // varies the pattern
    uint32_t dotsPerMeter = 2835;            // what FreeImage assumes for the 12-byte header

    // Pixel value at column x of row y, row 0 at the top.
    bool bit(int x, int y) const
    {
        if (y < 3) // solid top band
            return true;
        return ((x * 7 + y * 3 + seed) % 11) < 5;
    }
};

inline Picture picture(int width, int height, int seed = 0)
{
    Picture p;
    p.width = width;
    p.height = height;
    p.seed = seed;
    return p;
}

inline void put16(QByteArray &b, uint16_t v)
{
    b.append(char(v & 0xff));
    b.append(char(v >> 8));
}

inline void put32(QByteArray &b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.append(char((v >> (8 * i)) & 0xff));
}

inline int stride(int width) { return ((width + 31) / 32) * 4; }

// The picture as an uncompressed 1-bit BMP with an info header of `headerSize` bytes
// (12, 40, 52, 56, 64, 108 or 124), rows bottom-up or top-down.
inline QByteArray writeBmp(const Picture &p, int headerSize, bool topDown = false)
{
    const int entrySize = headerSize == 12 ? 3 : 4;
    const int rowBytes = stride(p.width);
    QByteArray info;
    if (headerSize == 12) {
        put32(info, 12);
        put16(info, uint16_t(p.width));
        put16(info, uint16_t(p.height));
        put16(info, 1);
        put16(info, 1);
    } else {
        put32(info, uint32_t(headerSize));
        put32(info, uint32_t(p.width));
        put32(info, uint32_t(topDown ? -p.height : p.height));
        put16(info, 1);                               // planes
        put16(info, 1);                               // bits per pixel
        put32(info, 0);                               // no compression
        put32(info, uint32_t(rowBytes * p.height));
        put32(info, p.dotsPerMeter);
        put32(info, p.dotsPerMeter);
        put32(info, 2);                               // colours used
        put32(info, 2);                               // colours important
        if (headerSize >= 52) {                       // channel masks: unused without bit fields
            put32(info, 0x00ff0000);
            put32(info, 0x0000ff00);
            put32(info, 0x000000ff);
        }
        if (headerSize >= 56)
            put32(info, 0xff000000);
        if (headerSize >= 108) {
            info.append("BGRs", 4);                   // colour space sRGB
            info.append(QByteArray(36 + 12, '\0'));   // end points and gamma, unused with sRGB
        }
        if (headerSize == 124) {
            put32(info, 4);                           // rendering intent: pictures
            put32(info, 0);                           // no profile
            put32(info, 0);
            put32(info, 0);
        }
        while (info.size() < headerSize)               // OS/2 2.x: units, rendering, ... all 0
            info.append('\0');
    }
    Q_ASSERT(info.size() == headerSize);

    QByteArray palette;
    palette.append(reinterpret_cast<const char *>(p.colour0), entrySize);
    palette.append(reinterpret_cast<const char *>(p.colour1), entrySize);

    QByteArray pixels;
    for (int row = 0; row < p.height; ++row) {
        const int y = topDown ? row : p.height - 1 - row;
        QByteArray line(rowBytes, '\0');
        for (int x = 0; x < p.width; ++x) {
            if (p.bit(x, y))
                line[x / 8] = char(uchar(line[x / 8]) | (0x80 >> (x % 8)));
        }
        pixels.append(line);
    }

    QByteArray file("BM");
    const int offset = 14 + headerSize + palette.size();
    put32(file, uint32_t(offset + pixels.size()));
    put32(file, 0);
    put32(file, uint32_t(offset));
    return file + info + palette + pixels;
}

// Decodes bytes with FreeImage's own BMP reader, no help from the tool.
inline FIBITMAP *freeImageLoad(const QByteArray &bytes)
{
    FIMEMORY *mem = FreeImage_OpenMemory(reinterpret_cast<BYTE *>(const_cast<char *>(bytes.constData())),
                                         DWORD(bytes.size()));
    FIBITMAP *dib = FreeImage_LoadFromMemory(FIF_BMP, mem, 0);
    FreeImage_CloseMemory(mem);
    return dib;
}

// FreeImage's BMP encoding of a bitmap, default options.
inline QByteArray freeImageEncode(FIBITMAP *dib)
{
    FIMEMORY *mem = FreeImage_OpenMemory();
    QByteArray out;
    if (FreeImage_SaveToMemory(FIF_BMP, dib, mem, BMP_DEFAULT)) {
        BYTE *data = nullptr;
        DWORD size = 0;
        FreeImage_AcquireMemory(mem, &data, &size);
        out = QByteArray(reinterpret_cast<const char *>(data), int(size));
    }
    FreeImage_CloseMemory(mem);
    return out;
}

// What the tool must store for a picture: FreeImage's encoding of the picture as it
// reads it from the 40-byte form, which it understands on its own.
inline QByteArray storedForm(const Picture &p)
{
    FIBITMAP *dib = freeImageLoad(writeBmp(p, 40));
    const QByteArray out = dib ? freeImageEncode(dib) : QByteArray();
    if (dib)
        FreeImage_Unload(dib);
    return out;
}

// A BMP of another depth written by FreeImage.
inline QByteArray writeDeepBmp(int width, int height, int bpp)
{
    FIBITMAP *dib = FreeImage_Allocate(width, height, bpp);
    const QByteArray out = freeImageEncode(dib);
    FreeImage_Unload(dib);
    return out;
}

} // namespace fixtures
