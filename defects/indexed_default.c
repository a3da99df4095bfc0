/* No default for Indexed (docs/known-defects.md), a limitation: Indexed
 * (346, TIFF-FX) is in no table of TIFFGetField(3tiff), which says "If you
 * can't find the tag in the table above that means this is an unsupported
 * tag and is not directly supported by the libtiff library."
 *
 * TIFF-FX (RFC 2301) makes Indexed's default 0. The program asks
 * TIFFGetFieldDefaulted for it on a new page.
 *
 * Exit status: 0 when the default is given as 0, 1 otherwise (the
 * limitation), 2 when the program cannot run. */
#include <stdint.h>
#include <stdio.h>
#include <tiffio.h>

int main(void)
{
    uint16_t indexed = 9;
    int sound = 1;
    TIFF *tif = TIFFOpen("indexed_default.tif", "w");

    if (!tif)
        return 2;
    if (!TIFFGetFieldDefaulted(tif, TIFFTAG_INDEXED, &indexed)) {
        printf("Indexed (346): no default, expected 0\n");
        sound = 0;
    } else if (indexed != 0) {
        printf("Indexed (346): default %u, expected 0\n", indexed);
        sound = 0;
    }
    TIFFClose(tif);
    return !sound;
}
