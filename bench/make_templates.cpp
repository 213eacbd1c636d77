// SPDX-License-Identifier: LGPL-3.0-or-later
// Writes the four area templates (1-bit BMPs of 1016 x 656) into a directory.
#include <FreeImage.h>

#include <cstdio>
#include <string>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    const char *names[] = {"kValid.bmp", "kValidR.bmp", "erasing_custom.bmp", "erasing_custom_r.bmp"};
    for (const char *name : names) {
        FIBITMAP *bmp = FreeImage_Allocate(1016, 656, 1);
        if (!bmp)
            return 1;
        RGBQUAD *pal = FreeImage_GetPalette(bmp);
        pal[0] = {0, 0, 0, 0};
        pal[1] = {255, 255, 255, 0};
        // A white card with a black band where the head may print.
        for (unsigned y = 0; y < 656; ++y) {
            BYTE *line = FreeImage_GetScanLine(bmp, y);
            for (unsigned x = 0; x < 1016; ++x) {
                const bool black = y > 100 && y < 556 && x > 80 && x < 936;
                const unsigned bit = 7 - (x % 8);
                if (black)
                    line[x / 8] &= BYTE(~(1u << bit));
                else
                    line[x / 8] |= BYTE(1u << bit);
            }
        }
        const std::string path = std::string(argv[1]) + "/" + name;
        const bool ok = FreeImage_Save(FIF_BMP, bmp, path.c_str(), BMP_DEFAULT);
        FreeImage_Unload(bmp);
        if (!ok)
            return 1;
    }
    return 0;
}
